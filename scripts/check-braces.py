#!/usr/bin/env python3
"""Fails when a body of if, else, for, while or do is not a braced block.

Usage: check-braces.py FOLDER...

Every .h and .cpp file below each FOLDER is read with its comments, string and character
literals and preprocessor lines blanked out. After `if (...)`, `for (...)`, `while (...)`,
`else` and `do` the next token must be `{` (`else if` chains on; the `while (...);` that
closes a do loop is allowed). Each offending body is listed with its place, and the exit code
is 1; otherwise it is 0.
"""

import os
import re
import sys

SOURCE_ENDINGS = (".h", ".cpp")
KEYWORD = re.compile(r"\b(if|else|for|while|do)\b")


def blanked(source):
    """The source with comments, literals and preprocessor lines turned into spaces."""
    out = list(source)
    n = len(source)

    def blank(start, end):
        for k in range(start, min(end, n)):
            if out[k] != "\n":
                out[k] = " "

    i = 0
    line_start = True
    while i < n:
        c = source[i]
        if line_start and c == "#":
            end = i
            while True:  # a directive goes on over lines ending in a backslash
                end = source.find("\n", end)
                if end < 0 or source[end - 1] != "\\":
                    break
                end += 1
            end = n if end < 0 else end
            blank(i, end)
            i = end
            continue
        if c == "\n":
            line_start = True
            i += 1
            continue
        if not c.isspace():
            line_start = False
        if source.startswith("//", i):
            end = source.find("\n", i)
            end = n if end < 0 else end
            blank(i, end)
            i = end
            continue
        if source.startswith("/*", i):
            end = source.find("*/", i + 2)
            end = n if end < 0 else end + 2
            blank(i, end)
            i = end
            continue
        raw = re.match(r'R"([^(\s]*)\(', source[i:i + 20])
        if raw and (i == 0 or not (source[i - 1].isalnum() or source[i - 1] == "_")):
            end = source.find(")" + raw.group(1) + '"', i)
            end = n if end < 0 else end + len(raw.group(1)) + 2
            blank(i, end)
            i = end
            continue
        if c == "'" and i > 0 and source[i - 1].isalnum() and source[i + 1:i + 2].isalnum():
            i += 1  # a digit separator, as in 2'000'000
            continue
        if c in "\"'":
            end = i + 1
            while end < n and source[end] != c:
                end += 2 if source[end] == "\\" else 1
            blank(i, end + 1)
            i = end + 1
            continue
        i += 1
    return "".join(out)


def next_token(text, at):
    """Offset of the first character at or after `at` that is not white space."""
    while at < len(text) and text[at].isspace():
        at += 1
    return at


def closing_paren(text, at):
    """Offset just after the parenthesis that closes the one at `at`, or None."""
    depth = 0
    for k in range(at, len(text)):
        if text[k] == "(":
            depth += 1
        elif text[k] == ")":
            depth -= 1
            if depth == 0:
                return k + 1
    return None


def problems(source):
    """Yields (line, keyword) of every body that is not a braced block."""
    text = blanked(source)
    for match in KEYWORD.finditer(text):
        word = match.group(1)
        at = next_token(text, match.end())
        if word == "else":
            ok = text.startswith("{", at) or re.match(r"if\b", text[at:at + 3])
        elif word == "do":
            ok = text.startswith("{", at)
        else:
            if word == "if" and re.match(r"constexpr\b", text[at:at + 10]):
                at = next_token(text, at + len("constexpr"))
            end = closing_paren(text, at) if text.startswith("(", at) else None
            if end is None:
                continue  # not a statement (a macro's name, say)
            body = next_token(text, end)
            ok = text.startswith("{", body)
            if word == "while" and text.startswith(";", body):
                before = text[:match.start()].rstrip()
                ok = before.endswith("}")  # the end of a do loop
        if not ok:
            yield text.count("\n", 0, match.start()) + 1, word


def main(folders):
    found = 0
    for folder in folders:
        for root, _, files in os.walk(folder):
            for name in sorted(files):
                if not name.endswith(SOURCE_ENDINGS):
                    continue
                path = os.path.join(root, name)
                with open(path, encoding="utf-8", errors="surrogateescape") as file:
                    source = file.read()
                for line, word in problems(source):
                    print(f"{path}:{line}: the body of '{word}' has no braces")
                    found += 1
    if found:
        print(f"{found} bodies without braces")
    return 1 if found else 0


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1:]))
