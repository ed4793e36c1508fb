#include "network/json_document.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/codec.h"
#include "runtime/text_commands.h"

namespace wavlon::network {
namespace {

using runtime::Text;

// The engine's helpers for counting, listing members and merging.
constexpr std::string_view kSupportScript = R"JS(
function get__count(c) {
    return Object.prototype.toString.call(c) == '[object Array]' ? c.length : 0;
}
function get__name_All(a) {
    if (Object.prototype.toString.call(a) != '[object Object]') {
        return '';
    }
    var names = [];
    for (var key in a) {
        if (typeof a[key] != 'function') {
            names.push(key);
        }
    }
    return names.join('\r\n');
}
// Merges source into target and returns the result. An array gets source's elements (or
// source itself when that is no array) appended. Into an object, each member of source
// replaces a plain member of target (string, number, boolean, null or missing) and is merged
// into an object member. Merging into or from a plain value gives source.
function get__extend(target, source) {
    if (Object.prototype.toString.call(target) == '[object Array]') {
        if (Object.prototype.toString.call(source) == '[object Array]') {
            for (var i = 0; i < source.length; i++) {
                target.push(source[i]);
            }
        } else {
            target.push(source);
        }
        return target;
    }
    if (target === null || typeof target != 'object' || source === null ||
        typeof source != 'object') {
        return source;
    }
    for (var key in source) {
        var member = target[key];
        var type = typeof member;
        if (type == 'object' && member !== null) {
            target[key] = get__extend(member, source[key]);
        } else if (type != 'function') {
            target[key] = source[key];
        }
    }
    return target;
}
)JS";

// Global that carries received text (or a number) into the engine as a value.
constexpr std::string_view kInput = "__wavlon_input";
// Tail of every read: U+2400 stored in place of a backslash becomes a backslash again.
constexpr std::string_view kRestoreBackslashes = R"(.replace(str_reg, '\\'))";

bool is_identifier_byte(unsigned char b, bool first) {
    return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || b == '_' || b == '$' || b >= 0x80 ||
           (!first && b >= '0' && b <= '9');
}

// True for a member/index path: an identifier followed by ".identifier", "[digits]" or
// ["name"] / ['name'] parts (names without quotes, backslashes or control characters).
bool is_plain_path(std::string_view p) {
    std::size_t i = 0;
    auto identifier = [&] {
        if (i >= p.size() || !is_identifier_byte(static_cast<unsigned char>(p[i]), true)) {
            return false;
        }
        while (i < p.size() && is_identifier_byte(static_cast<unsigned char>(p[i]), false)) {
            ++i;
        }
        return true;
    };
    if (!identifier()) {
        return false;
    }
    while (i < p.size()) {
        char c = p[i++];
        if (c == '.') {
            if (!identifier()) {
                return false;
            }
        } else if (c == '[' && i < p.size() && (p[i] == '"' || p[i] == '\'')) {
            char quote = p[i++];
            while (i < p.size() && p[i] != quote && p[i] != '\\' &&
                   static_cast<unsigned char>(p[i]) >= 0x20) {
                ++i;
            }
            if (i + 1 >= p.size() || p[i] != quote || p[i + 1] != ']') {
                return false;
            }
            i += 2;
        } else if (c == '[') {
            std::size_t digits = i;
            while (i < p.size() && p[i] >= '0' && p[i] <= '9') {
                ++i;
            }
            if (i == digits || i >= p.size() || p[i] != ']') {
                return false;
            }
            ++i;
        } else {
            return false;
        }
    }
    return true;
}

std::string element(const std::string& path, std::int32_t index) {
    return path + "[" + std::to_string(index) + "]";
}

std::string input_expression(bool is_json) {
    return is_json ? "JSON.parse(" + std::string(kInput) + ")" : std::string(kInput);
}

std::int32_t to_int32(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    double limited = std::clamp(std::trunc(value), double{std::numeric_limits<std::int32_t>::min()},
                                double{std::numeric_limits<std::int32_t>::max()});
    return static_cast<std::int32_t>(limited);
}

}  // namespace

JsonDocument::JsonDocument() {
    create_engine();
}

bool JsonDocument::create_engine() {
    m_engine = platform::ScriptEngine();
    return m_engine.add_code(kSupportScript) &&
           m_engine.run("var " + m_name +
                        " = {}, str_Code = String.fromCharCode(9216), "
                        "str_reg = new RegExp(str_Code, 'g')");
}

std::string JsonDocument::full_path(TextView path) const {
    std::string p = platform::gbk_to_utf8(path);
    bool has_name = p.starts_with(m_name) && (p.size() == m_name.size() ||
                                              p[m_name.size()] == '.' || p[m_name.size()] == '[');
    if (!has_name) {
        p = p.empty() ? m_name : p[0] == '[' ? m_name + p : m_name + "." + p;
    }
    return is_plain_path(p) ? p : std::string{};
}

bool JsonDocument::run_with_input(std::string_view value, const std::string& expression) {
    bool done = m_engine.set_global_string(kInput, value) && m_engine.run(expression);
    m_engine.delete_global(kInput);
    return done;
}

Text JsonDocument::eval_text(const std::string& expression) {
    return platform::utf8_to_gbk(m_engine.eval_text(expression).value_or(""));
}

bool JsonDocument::parse(TextView json) {
    return parse_utf8(platform::gbk_to_utf8(json));
}

bool JsonDocument::parse_utf8(std::string_view json) {
    if (!m_engine.valid() && !create_engine()) {
        return false;
    }
    m_engine.run("var " + m_name + " = null");
    run_with_input(json, m_name + " = " + input_expression(true));
    return m_engine.eval_logical(m_name + " != null").value_or(false);
}

bool JsonDocument::clear() {
    return m_engine.run(m_name + " = {}");
}

Text JsonDocument::to_json() {
    return to_json_at("");
}

bool JsonDocument::set_value(TextView path, TextView value, bool is_json) {
    std::string p = full_path(path);
    if (p.empty()) {
        return false;
    }
    std::string utf8 = platform::gbk_to_utf8(value);
    if (!is_json) {
        // Stored backslashes become U+2400; every read turns them back.
        return run_with_input(utf8,
                              p + " = " + std::string(kInput) + ".replace(/\\\\/g, str_Code)");
    }
    if (utf8.empty()) {
        utf8 = "{}";
    }
    std::string parsed = input_expression(true);
    bool exists = m_engine.eval_logical(p + " != null").value_or(false);
    return run_with_input(
        utf8, exists ? p + " = get__extend(" + p + ", " + parsed + ")" : p + " = " + parsed);
}

bool JsonDocument::set_json(TextView path, TextView json) {
    std::string p = full_path(path);
    return !p.empty() &&
           run_with_input(platform::gbk_to_utf8(json), p + " = " + input_expression(true));
}

bool JsonDocument::resolve_path(Text& path) {
    std::string p = full_path(path);
    if (p.empty()) {
        return false;
    }
    path = platform::utf8_to_gbk(p);
    return m_engine.eval_logical(p + " != null").value_or(false);
}

std::int32_t JsonDocument::get_type(TextView path) {
    std::string p = full_path(path);
    if (p.empty() || m_engine.eval_logical(p + " == null").value_or(true)) {
        return kJsonNull;
    }
    auto kind = m_engine.eval_text("Object.prototype.toString.call(" + p + ")").value_or("");
    static const std::pair<std::string_view, JsonType> kKinds[] = {
        {"[object String]", kJsonString},   {"[object Array]", kJsonArray},
        {"[object Object]", kJsonObject},   {"[object Number]", kJsonNumber},
        {"[object Boolean]", kJsonBoolean},
    };
    for (const auto& [name, type] : kKinds) {
        if (kind == name) {
            return type;
        }
    }
    return kJsonOther;
}

Text JsonDocument::get_text(TextView path, bool as_json) {
    if (as_json) {
        return to_json_at(path);
    }
    std::string p = full_path(path);
    return p.empty() ? Text{} : eval_text(p + ".toString()" + std::string(kRestoreBackslashes));
}

std::int32_t JsonDocument::get_member_names(TextView path, runtime::Array<Text>& out) {
    std::string p = full_path(path);
    Text names = p.empty() ? Text{} : eval_text("get__name_All(" + p + ")");
    out = runtime::split_text(names, "\r\n");
    return out.size();
}

std::int32_t JsonDocument::get_count(TextView path) {
    std::string p = full_path(path);
    return p.empty() ? 0 : to_int32(m_engine.eval_number("get__count(" + p + ")").value_or(0));
}

JsonDocument JsonDocument::document_of(const std::string& expression) {
    // The value crosses as JSON without restoring backslashes: U+2400 stays U+2400 in the new
    // engine, whose reads restore it, so the copy reads back exactly like the original.
    JsonDocument document;
    document.parse_utf8(m_engine.eval_text("JSON.stringify(" + expression + ")").value_or(""));
    return document;
}

JsonDocument JsonDocument::get_object(TextView path) {
    std::string p = full_path(path);
    return p.empty() ? document_of("null") : document_of(p);
}

bool JsonDocument::push(TextView path, TextView value, bool is_json) {
    std::string p = full_path(path);
    if (p.empty()) {
        return false;
    }
    // The value is worked out first, as the call's argument, so a text that is not JSON
    // leaves the document untouched.
    std::string expression = "(function (value) { if (Object.prototype.toString.call(" + p +
                             ") != '[object Array]') { " + p + " = new Array() } " + p +
                             ".push(value) })(" + input_expression(is_json) + ")";
    return run_with_input(platform::gbk_to_utf8(value), expression);
}

JsonDocument JsonDocument::get_element_object(TextView path, std::int32_t index) {
    std::string p = full_path(path);
    return p.empty() ? document_of("null") : document_of(element(p, index));
}

Text JsonDocument::get_element_text(TextView path, std::int32_t index, bool as_json) {
    std::string p = full_path(path);
    if (p.empty()) {
        return {};
    }
    std::string target = element(p, index);
    return eval_text(as_json ? "JSON.stringify(" + target + ")" + std::string(kRestoreBackslashes)
                             : target + ".toString()" + std::string(kRestoreBackslashes));
}

bool JsonDocument::set_element(TextView path, std::int32_t index, TextView value, bool is_json) {
    std::string p = full_path(path);
    return !p.empty() && run_with_input(platform::gbk_to_utf8(value),
                                        element(p, index) + " = " + input_expression(is_json));
}

bool JsonDocument::remove_element(TextView path, std::int32_t index) {
    std::string p = full_path(path);
    return !p.empty() && m_engine.run(p + ".splice(" + std::to_string(index) + ", 1)");
}

bool JsonDocument::remove(TextView path) {
    std::string p = full_path(path);
    return !p.empty() && m_engine.eval_logical("delete " + p).value_or(false);
}

bool JsonDocument::set_number(TextView path, double value) {
    std::string p = full_path(path);
    if (p.empty()) {
        return false;
    }
    bool done =
        m_engine.set_global_number(kInput, value) && m_engine.run(p + " = " + std::string(kInput));
    m_engine.delete_global(kInput);
    return done;
}

double JsonDocument::get_number(TextView path) {
    std::string p = full_path(path);
    return p.empty() ? 0 : m_engine.eval_number(p).value_or(0);
}

Text JsonDocument::to_json_at(TextView path) {
    std::string p = full_path(path);
    return p.empty() ? Text{}
                     : eval_text("JSON.stringify(" + p + ")" + std::string(kRestoreBackslashes));
}

}  // namespace wavlon::network
