#include "runtime/config_file.h"

#include <algorithm>
#include <vector>

#include "platform/codec.h"
#include "platform/files.h"
#include "runtime/file_commands.h"

namespace wavlon::runtime {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kNewLine = "\r\n";

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && is_blank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && is_blank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

std::string_view skip_control(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32) {
        s.remove_prefix(1);
    }
    return s;
}

// Blanks and control bytes are single-byte characters, so cutting them keeps a text whole.
TextView trim(TextView s) {
    return TextView(trim(s.bytes()));
}
TextView skip_control(TextView s) {
    return TextView(skip_control(s.bytes()));
}

char ascii_lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Equal ignoring the case of single-byte letters; the trail byte of a multibyte character is
// never folded, so two different characters never compare equal.
bool same_name(TextView a, TextView b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size();) {
        std::size_t n = char_size(a, i);
        if (n == 1 ? ascii_lower(a[i]) != ascii_lower(b[i]) : a.substr(i, n) != b.substr(i, n)) {
            return false;
        }
        i += n;
    }
    return true;
}

std::string_view unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

Text limited(Text value) {
    if (value.size() <= kConfigValueLimit) {
        return value;
    }
    std::size_t end = 0;
    while (end < value.size()) {
        std::size_t n = char_size(value, end);
        if (end + n > kConfigValueLimit) {
            break;
        }
        end += n;
    }
    value.resize(end);
    return value;
}

enum class LineKind { Blank, Comment, Section, Item };

struct Line {
    std::size_t begin = 0;  // first byte of the line
    std::size_t end = 0;    // end of its content, before CR LF
    std::size_t next = 0;   // first byte of the following line
    LineKind kind = LineKind::Blank;
    std::string_view name;  // section name or key, trimmed
    bool has_value = false;
    std::size_t value_begin = 0;  // where the (trimmed) value starts
    std::string_view value;       // trimmed, quotes still on
};

struct Parsed {
    bool utf8 = false;
    std::vector<Line> lines;
};

Line parse_line(std::string_view content, std::size_t begin, std::size_t end) {
    Line line;
    line.begin = begin;
    line.end = end;
    std::string_view text = content.substr(begin, end - begin);
    std::string_view body = trim(text);
    if (body.empty()) {
        return line;
    }
    if (body.front() == ';' || body.front() == '#') {
        line.kind = LineKind::Comment;
        return line;
    }
    if (body.front() == '[') {
        std::size_t close = body.rfind(']');
        if (close != std::string_view::npos && close > 0) {
            line.kind = LineKind::Section;
            line.name = trim(body.substr(1, close - 1));
            return line;
        }
    }
    line.kind = LineKind::Item;
    std::size_t equals = text.find('=');
    line.name = trim(text.substr(0, equals));
    if (equals != std::string_view::npos) {
        line.has_value = true;
        std::size_t start = equals + 1;
        while (start < text.size() && is_blank(text[start])) {
            ++start;
        }
        line.value_begin = begin + start;
        line.value = trim(text.substr(equals + 1));
    }
    return line;
}

Parsed parse(std::string_view content) {
    Parsed parsed;
    std::size_t pos = 0;
    if (content.starts_with(kUtf8Mark)) {
        parsed.utf8 = true;
        pos = kUtf8Mark.size();
    }
    while (pos < content.size()) {
        std::size_t newline = content.find('\n', pos);
        std::size_t next = newline == std::string_view::npos ? content.size() : newline + 1;
        std::size_t end = newline == std::string_view::npos ? content.size() : newline;
        if (end > pos && content[end - 1] == '\r') {
            --end;
        }
        Line line = parse_line(content, pos, end);
        line.next = next;
        parsed.lines.push_back(line);
        pos = next;
    }
    return parsed;
}

// Texts of a UTF-8 file are compared and returned in the program's code page.
Text decoded(const Parsed& parsed, std::string_view bytes) {
    return parsed.utf8 ? utf8_to_gbk(bytes) : Text(bytes);
}
std::string encoded(const Parsed& parsed, TextView text) {
    return parsed.utf8 ? gbk_to_utf8(text) : std::string(text.bytes());
}

// Indices of the lines of every section named `section`, headers excluded, in file order.
std::vector<std::size_t> section_lines(const Parsed& parsed, TextView section) {
    std::vector<std::size_t> out;
    bool inside = false;
    for (std::size_t i = 0; i < parsed.lines.size(); ++i) {
        const Line& line = parsed.lines[i];
        if (line.kind == LineKind::Section) {
            inside = same_name(decoded(parsed, line.name), section);
        } else if (inside) {
            out.push_back(i);
        }
    }
    return out;
}

std::optional<std::size_t> first_header(const Parsed& parsed, TextView section) {
    for (std::size_t i = 0; i < parsed.lines.size(); ++i) {
        const Line& line = parsed.lines[i];
        if (line.kind == LineKind::Section && same_name(decoded(parsed, line.name), section)) {
            return i;
        }
    }
    return std::nullopt;
}

bool is_key(const Parsed& parsed, const Line& line, TextView key) {
    return line.kind == LineKind::Item && same_name(decoded(parsed, line.name), key);
}

bool storable(TextView text) {
    return text.bytes().find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

// The value as it has to be written to read back unchanged.
Text stored_value(const Text& value) {
    std::string_view bytes = value.bytes();
    if (trim(bytes) != bytes || unquote(bytes) != bytes) {
        Text quoted = "\"";  // (not "\"" + …: GCC 12 warns wrongly at -O2)
        return quoted.append(value).append("\"");
    }
    return value;
}

using platform::ReadResult;

ReadResult read_whole(const Text& file, std::string& content) {
    return platform::read_whole_file(gbk_to_file_name(file), content);
}

}  // namespace

Text read_config_text(std::string_view content, TextView section, TextView key,
                      const Text& default_value) {
    section = trim(skip_control(section));
    key = trim(skip_control(key));
    if (section.empty() || key.empty()) {
        return {};
    }
    Parsed parsed = parse(content);
    for (std::size_t i : section_lines(parsed, section)) {
        const Line& line = parsed.lines[i];
        if (is_key(parsed, line, key)) {
            if (!line.has_value) {
                break;
            }
            return limited(decoded(parsed, unquote(line.value)));
        }
    }
    TextView fallback = default_value;
    while (!fallback.empty() && fallback.back() == ' ') {
        fallback.remove_suffix(1);
    }
    return limited(Text(fallback));
}

std::optional<std::string> edit_config_text(std::string_view content, TextView section,
                                            const std::optional<Text>& key,
                                            const std::optional<Text>& value) {
    section = trim(section);
    TextView key_name = key ? trim(*key) : TextView();
    if (section.empty() || !storable(section) || (key && !storable(key_name)) ||
        (value && !storable(*value))) {
        return std::nullopt;
    }
    if (key && (key_name.empty() || key_name.find('=') != TextView::npos ||
                key_name.front() == ';' || key_name.front() == '#' || key_name.front() == '[')) {
        return std::nullopt;
    }
    Parsed parsed = parse(content);
    std::vector<std::size_t> lines = section_lines(parsed, section);
    std::string out(content);

    if (!key || !value) {
        // Deleting: cut out the matching lines, last first so earlier offsets stay valid.
        std::vector<std::size_t> doomed;
        for (std::size_t i = 0; i < parsed.lines.size(); ++i) {
            const Line& line = parsed.lines[i];
            if (!key && line.kind == LineKind::Section &&
                same_name(decoded(parsed, line.name), section)) {
                doomed.push_back(i);
            }
        }
        for (std::size_t i : lines) {
            if (!key || is_key(parsed, parsed.lines[i], key_name)) {
                doomed.push_back(i);
            }
        }
        std::sort(doomed.begin(), doomed.end());
        for (auto it = doomed.rbegin(); it != doomed.rend(); ++it) {
            const Line& line = parsed.lines[*it];
            out.erase(line.begin, line.next - line.begin);
        }
        return out;
    }

    std::string new_value = encoded(parsed, stored_value(*value));
    for (std::size_t i : lines) {
        const Line& line = parsed.lines[i];
        if (is_key(parsed, line, key_name)) {
            if (line.has_value) {
                out.replace(line.value_begin, line.end - line.value_begin, new_value);
            } else {
                out.insert(line.end, "=" + new_value);
            }
            return out;
        }
    }

    std::string item = encoded(parsed, key_name) + "=" + new_value + std::string(kNewLine);
    if (std::optional<std::size_t> header = first_header(parsed, section)) {
        // After the last non-blank line of the section, so blank lines stay between sections.
        std::size_t after = *header;
        for (std::size_t i = after + 1;
             i < parsed.lines.size() && parsed.lines[i].kind != LineKind::Section; ++i) {
            if (parsed.lines[i].kind != LineKind::Blank) {
                after = i;
            }
        }
        std::size_t at = parsed.lines[after].next;
        if (content[at - 1] != '\n') {  // the file's last line, without a line break
            out.insert(at, kNewLine);
            at += kNewLine.size();
        }
        out.insert(at, item);
        return out;
    }
    if (!out.empty() && out.back() != '\n' && out != kUtf8Mark) {
        out += kNewLine;
    }
    out.append("[").append(encoded(parsed, section)).append("]").append(kNewLine).append(item);
    return out;
}

Text read_config_item(const Text& file, const Text& section, const Text& key,
                      const Text& default_value) {
    TextView name = skip_control(TextView(file));
    if (name.empty() || skip_control(TextView(section)).empty() ||
        skip_control(TextView(key)).empty()) {
        return {};
    }
    // What a killed writer left beside the file goes at the next read as well as the next write.
    remove_abandoned_writes(Text(name));
    std::string content;
    if (read_whole(Text(name), content) != ReadResult::Ok) {
        content.clear();
    }
    return read_config_text(content, section, key, default_value);
}

bool write_config_item(const Text& file, const Text& section, const std::optional<Text>& key,
                       const std::optional<Text>& value) {
    if (file.empty()) {
        return false;
    }
    std::string content;
    ReadResult read = read_whole(file, content);
    if (read == ReadResult::Failed) {
        return false;
    }
    std::optional<std::string> edited = edit_config_text(content, section, key, value);
    if (!edited) {
        return false;
    }
    if (read == ReadResult::Ok && *edited == content) {
        return true;
    }
    if (read == ReadResult::Missing && (!key || !value)) {
        return true;  // nothing to delete
    }
    std::string_view part = *edited;
    return write_file_parts(file, {&part, 1});
}

}  // namespace wavlon::runtime
