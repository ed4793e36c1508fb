#!/usr/bin/env python3
"""Fails when a source file hands a UTF-8 literal where a text belongs.

Usage: check-text-literals.py SRC_ROOT

The program's texts are GB18030 (platform/gbk_text.h). A string literal becomes a text by
itself, which is right for ASCII only: the source is UTF-8, so "播放" would reach the screen
as mojibake. Every string literal under SRC_ROOT with a byte above 0x7F must therefore carry
the _gb suffix, which converts it, or sit inside QStringLiteral(...), which Qt reads as UTF-8.
The files listed in UTF8_FILES hold such literals on purpose and are skipped. Each offending
literal is listed with its place, and the exit code is 1; otherwise it is 0.
"""

import os
import sys

SOURCE_ENDINGS = (".h", ".cpp")

# Files whose non-ASCII literals are UTF-8 by design, never texts.
UTF8_FILES = {
    # The song service speaks UTF-8 only and has no texts.
    "songd/",
    # Unit names of the routine table, compared with the template's names in UTF-8.
    "app/event_table.cpp",
    "app/event_table.h",
    # Font family names for Qt and for the system's font interface (UTF-16 there).
    "runtime/units/qt/unit_look.cpp",
    "runtime/units/win/unit_look.cpp",
}


def skipped(relative):
    return any(relative == name or (name.endswith("/") and relative.startswith(name))
               for name in UTF8_FILES)


def literals(source):
    """Yields (offset, literal bytes, end offset) of every ordinary string literal."""
    i = 0
    n = len(source)
    while i < n:
        c = source[i]
        if source.startswith("//", i):
            i = source.find("\n", i)
            if i < 0:
                return
            continue
        if source.startswith("/*", i):
            end = source.find("*/", i + 2)
            i = n if end < 0 else end + 2
            continue
        if c == "'" and i > 0 and source[i - 1].isalnum() and source[i + 1:i + 2].isalnum():
            i += 1  # a digit separator, as in 2'000'000
            continue
        if c == "'":
            # A character literal; skip it, escapes included.
            i += 1
            while i < n and source[i] != "'":
                i += 2 if source[i] == "\\" else 1
            i += 1
            continue
        if c == '"':
            raw = i > 0 and source[i - 1] == "R"
            if raw:
                close = source.find("(", i)
                delimiter = ")" + source[i + 1:close] + '"'
                end = source.find(delimiter, close)
                end = n if end < 0 else end + len(delimiter)
            else:
                end = i + 1
                while end < n and source[end] != '"':
                    end += 2 if source[end] == "\\" else 1
                end += 1
            yield i, source[i:end], end
            i = end
            continue
        i += 1


def check_file(path, relative):
    with open(path, encoding="utf-8") as f:
        source = f.read()
    faults = []
    for start, literal, end in literals(source):
        if all(ord(ch) < 0x80 for ch in literal):
            continue
        if source.startswith("_gb", end):
            continue
        before = source[max(0, start - 40):start].rstrip()
        if before.endswith("QStringLiteral("):
            continue
        line = source.count("\n", 0, start) + 1
        faults.append(f"{relative}:{line}: {literal}")
    return faults


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    src_root = sys.argv[1]
    faults = []
    for dirpath, _, names in os.walk(src_root):
        for name in sorted(names):
            if not name.endswith(SOURCE_ENDINGS):
                continue
            path = os.path.join(dirpath, name)
            relative = os.path.relpath(path, src_root).replace(os.sep, "/")
            if not skipped(relative):
                faults.extend(check_file(path, relative))
    for fault in faults:
        print(f"{fault}: a non-ASCII literal where a text may belong; write it with _gb",
              file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
