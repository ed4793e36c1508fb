#include "tools/description_syntax.h"

#include <charconv>
#include <map>
#include <optional>

#include "platform/codec.h"
#include "runtime/template_format.h"

namespace wavlon::tools {

using namespace runtime;

namespace {
[[noreturn]] void fail(const std::string& what) {
    throw DescriptionError(what);
}
}  // namespace

std::vector<Token> tokenize(std::string_view line) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        if (c == '#') {
            break;  // a comment runs to the end of the line
        }
        Token token;
        if (c == '"') {
            token.quoted = true;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char d = line[i++];
                if (d == '"') {
                    closed = true;
                    break;
                }
                if (d == '\\') {
                    if (i == line.size() || (line[i] != '"' && line[i] != '\\')) {
                        throw DescriptionError("unknown escape in text");
                    }
                    d = line[i++];
                }
                token.text.push_back(d);
            }
            if (!closed) {
                throw DescriptionError("text has no closing quote");
            }
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') {
                if (line[i] == '"') {
                    throw DescriptionError("quote inside a word");
                }
                token.text.push_back(line[i++]);
            }
        }
        tokens.push_back(std::move(token));
    }
    return tokens;
}

void expect_count(const std::vector<Token>& args, std::size_t count, const std::string& usage) {
    if (args.size() != count) {
        fail("usage: " + usage);
    }
}

std::int64_t int_arg(const Token& token, std::int64_t min, std::int64_t max) {
    std::string_view s = token.text;
    bool negative = s.starts_with('-');
    if (negative) {
        s.remove_prefix(1);
    }
    int base = 10;
    if (s.starts_with("0x") || s.starts_with("0X")) {
        base = 16;
        s.remove_prefix(2);
    }
    std::uint64_t magnitude = 0;
    auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
    if (token.quoted || s.empty() || error != std::errc{} || end != s.data() + s.size() ||
        magnitude > (std::uint64_t{1} << 32)) {
        fail("'" + token.text + "' is not a number");
    }
    auto value =
        negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    if (value < min || value > max) {
        fail(token.text + " is out of range " + std::to_string(min) + ".." + std::to_string(max));
    }
    return value;
}
std::uint32_t u32_arg(const Token& token) {
    return static_cast<std::uint32_t>(int_arg(token, 0, UINT32_MAX));
}
std::uint32_t id_arg(const Token& token) {
    std::uint32_t id = u32_arg(token);
    if ((id & 0x00FFFFFF) == 0 || (id & 0x0F000000) == 0) {
        fail(token.text + " is not a valid id");
    }
    return id;
}

Text text_of(const Token& token) {
    if (!platform::is_valid_utf8(token.text)) {
        fail("text is not valid UTF-8");
    }
    return utf8_to_gbk(token.text);
}
Text text_arg(const Token& token) {
    if (!token.quoted) {
        fail("expected a text in double quotes, found '" + token.text + "'");
    }
    return text_of(token);
}

bool yes_no_arg(const Token& token) {
    if (!token.quoted && token.text == "yes") {
        return true;
    }
    if (!token.quoted && token.text == "no") {
        return false;
    }
    fail("expected yes or no, found '" + token.text + "'");
}

std::uint32_t state_arg(const std::vector<Token>& args) {
    std::optional<bool> visible, enabled;
    bool tab_stop = false;
    for (const auto& arg : args) {
        const std::string& w = arg.text;
        if ((w == "visible" || w == "hidden") && !visible && !arg.quoted) {
            visible = w == "visible";
        } else if ((w == "enabled" || w == "disabled") && !enabled && !arg.quoted) {
            enabled = w == "enabled";
        } else if (w == "tabstop" && !tab_stop && !arg.quoted) {
            tab_stop = true;
        } else {
            fail("usage: state visible|hidden enabled|disabled [tabstop]");
        }
    }
    if (!visible || !enabled) {
        fail("usage: state visible|hidden enabled|disabled [tabstop]");
    }
    return (*visible ? kFlagVisible : 0) | (*enabled ? 0 : kFlagDisabled) |
           (tab_stop ? kFlagTabStop : 0);
}

std::uint32_t colour_arg(const std::vector<Token>& args, bool allow_default) {
    if (allow_default && args.size() == 1 && args[0].text == "default" && !args[0].quoted) {
        return kSystemColour;
    }
    if (args.size() != 3) {
        fail(allow_default ? "usage: background default | <r> <g> <b>"
                           : "usage: text-colour <r> <g> <b>");
    }
    auto component = [&](const Token& t) { return static_cast<std::uint8_t>(int_arg(t, 0, 255)); };
    return colour_rgb(component(args[0]), component(args[1]), component(args[2]));
}

StoredFont font_arg(const std::vector<Token>& args) {
    if (args.size() < 2 || args.size() > 3 || (args.size() == 3 && args[2].text != "bold")) {
        fail("usage: font \"<face>\" <pixel height> [bold]");
    }
    Text face = text_arg(args[0]);
    if (face.empty() || face.size() >= kFaceNameSize) {
        fail("font face must be 1 to 31 bytes in the template's code page");
    }
    auto pixels = static_cast<int>(int_arg(args[1], 1, 1000));
    return make_font(face, pixels, args.size() == 3);
}

ListViewColumn column_arg(const std::vector<Token>& args) {
    expect_count(args, 3, "column \"<heading>\" left|centre|right <width>");
    ListViewColumn column;
    column.heading = text_arg(args[0]);
    const std::string& align = args[1].text;
    if (align == "left") {
        column.alignment = ColumnAlignment::kLeft;
    } else if (align == "centre") {
        column.alignment = ColumnAlignment::kCentre;
    } else if (align == "right") {
        column.alignment = ColumnAlignment::kRight;
    } else {
        fail("unknown column alignment '" + align + "'");
    }
    column.width = static_cast<std::uint32_t>(int_arg(args[2], 0, INT32_MAX));
    return column;
}

namespace {
// Letters, digits and '_', not starting with a digit; bytes of UTF-8 characters count as
// letters when `unicode`.
bool is_identifier(const Token& token, bool unicode) {
    const std::string& s = token.text;
    bool ok = !token.quoted && !s.empty() && !(s[0] >= '0' && s[0] <= '9');
    for (char c : s) {
        ok = ok && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '_' || (unicode && static_cast<unsigned char>(c) >= 0x80));
    }
    return ok;
}
}  // namespace

void check_routine_name(const Token& token) {
    if (!is_identifier(token, false)) {
        fail("'" + token.text + "' is not a routine name");
    }
}

void check_identifier(const Token& token, const std::string& what) {
    if (!is_identifier(token, true)) {
        fail(what + " " + token.text + " is not an identifier");
    }
}

std::optional<std::string> comment_of(std::string_view line) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!line.empty() && blank(line.front())) {
        line.remove_prefix(1);
    }
    if (!line.starts_with('#')) {
        return std::nullopt;
    }
    line.remove_prefix(1);
    while (!line.empty() && blank(line.front())) {
        line.remove_prefix(1);
    }
    while (!line.empty() && blank(line.back())) {
        line.remove_suffix(1);
    }
    return std::string(line);
}

std::uint32_t view_arg(const Token& token) {
    static const std::map<std::string, std::uint32_t, std::less<>> kViews = {
        {"icon", 0}, {"small-icon", 1}, {"list", 2}, {"report", kListViewReport}};
    auto view = kViews.find(token.text);
    if (view == kViews.end() || token.quoted) {
        fail("unknown view '" + token.text + "'");
    }
    return view->second;
}

}  // namespace wavlon::tools
