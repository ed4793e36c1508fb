#include "network/text_helpers.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/codec.h"
#include "runtime/text_commands.h"

namespace wavlon::network {
namespace {

using runtime::find_text;
using runtime::find_text_reverse;
using runtime::text_byte_length;
using runtime::operator""_gb;

int hex_digit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool is_unreserved(unsigned char b) {
    return b == '-' || b == '.' || (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') ||
           (b >= 'a' && b <= 'z');
}

// The text from 1-based byte position `from` to the end (empty past the end).
Text text_from(TextView text, std::int64_t from) {
    if (from < 1 || from > static_cast<std::int64_t>(text.size())) {
        return {};
    }
    return Text(text.substr(static_cast<std::size_t>(from - 1)));
}

// Clamps a 64-bit position into the range the text commands take.
std::int32_t clamp_position(std::int64_t position) {
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(position, INT32_MIN, static_cast<std::int64_t>(INT32_MAX)));
}

Text replace_quote_marker(TextView marker) {
    return runtime::replace_text(marker, "#引号"_gb, "\"");
}

Text cookie_name(TextView item) {
    auto equals = item.find('=');
    return runtime::trim_text(equals == TextView::npos ? item : item.substr(0, equals));
}

// Trims a cookie list and makes a trailing ";" a full "; " separator.
Text prepare_cookie_list(TextView list) {
    Text trimmed = runtime::trim_text(list);
    if (!trimmed.empty() && trimmed.back() == ';') {
        trimmed += ' ';
    }
    return trimmed;
}

Text join_with(const std::vector<Text>& items, TextView separator) {
    Text joined;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) {
            joined += separator;
        }
        joined += items[i];
    }
    return joined;
}

}  // namespace

ByteSet to_utf16(TextView text, bool drop_terminator) {
    if (text.empty()) {
        return {};
    }
    std::u16string units = platform::gbk_to_utf16(text);
    if (!drop_terminator) {
        units.push_back(u'\0');
    }
    ByteSet bytes;
    bytes.bytes().reserve(units.size() * 2);
    for (char16_t unit : units) {
        bytes.bytes().push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.bytes().push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return bytes;
}

Text from_utf16(const ByteSet& bytes) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        auto unit = static_cast<char16_t>(bytes.data()[i] | (bytes.data()[i + 1] << 8));
        if (unit == u'\0') {
            break;
        }
        units.push_back(unit);
    }
    return platform::utf16_to_gbk(units);
}

Text url_encode(TextView text, bool keep_unreserved, bool utf8) {
    if (text.empty()) {
        return {};
    }
    // The bytes to encode: the text's own, or its UTF-8 form.
    std::string converted;
    std::string_view bytes = text.bytes();
    if (utf8) {
        converted = gbk_to_utf8(text);
        bytes = converted;
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    Text encoded;
    encoded.reserve(bytes.size() * 3);
    for (char c : bytes) {
        auto b = static_cast<unsigned char>(c);
        if (keep_unreserved && is_unreserved(b)) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[b >> 4];
            encoded += kHex[b & 0x0F];
        }
    }
    return encoded;
}

Text url_decode(TextView text, bool utf8) {
    // "%" is never a byte inside a multibyte character, so a byte walk is character-safe.
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            int high = hex_digit(text[i + 1]);
            int low = hex_digit(text[i + 2]);
            int value = high * 16 + low;
            // A zero byte would end the text early when it is handed on, so "%00" stays.
            if (high >= 0 && low >= 0 && value != 0) {
                decoded += static_cast<char>(value);
                i += 2;
                continue;
            }
        }
        decoded += text[i];
    }
    return utf8 ? utf8_to_gbk(decoded) : Text(std::move(decoded));
}

Text text_before(TextView text, TextView separator, std::int32_t start, bool ignore_case) {
    std::int32_t found;
    if (start >= 0) {
        found = find_text(text, separator, std::max(start, 1), ignore_case);
    } else if (start == -1) {
        found = find_text_reverse(text, separator, std::nullopt, ignore_case);
    } else {
        std::int64_t limit = std::int64_t{text_byte_length(text)} + start + 1;
        found = find_text_reverse(text, separator, clamp_position(limit), ignore_case);
    }
    return found < 1 ? Text{} : runtime::text_left(text, found - 1);
}

Text text_after(TextView text, TextView separator, std::int32_t start, bool ignore_case) {
    std::int32_t found;
    if (start >= 0) {
        std::int64_t limit = std::int64_t{text_byte_length(text)} - start + 1;
        found = find_text_reverse(text, separator, clamp_position(limit), ignore_case);
    } else {
        found = find_text(text, separator, clamp_position(-std::int64_t{start}), ignore_case);
    }
    if (found < 1) {
        return {};
    }
    return text_from(text, std::int64_t{found} + static_cast<std::int64_t>(separator.size()));
}

Text text_between(TextView text, TextView opening, TextView closing, std::int32_t start,
                  bool ignore_case) {
    Text open_marker = replace_quote_marker(opening);
    Text close_marker = replace_quote_marker(closing);
    std::int32_t open_at = find_text(text, open_marker, std::max(start, 1), ignore_case);
    if (open_at < 1) {
        return {};
    }
    std::int64_t inner = std::int64_t{open_at} + static_cast<std::int64_t>(open_marker.size());
    if (inner > static_cast<std::int64_t>(text.size())) {
        return {};
    }
    std::int32_t close_at =
        find_text(text, close_marker, static_cast<std::int32_t>(inner), ignore_case);
    if (close_at < 1) {
        return {};
    }
    return Text(text.substr(static_cast<std::size_t>(inner - 1),
                            static_cast<std::size_t>(close_at - inner)));
}

Text capitalise_first(TextView text) {
    if (text.empty()) {
        return {};
    }
    std::size_t first = runtime::char_size(text, 0);
    return runtime::to_upper(text.substr(0, first)) + Text(text.substr(first));
}

Text normalise_header_names(TextView block) {
    std::vector<Text> lines;
    for (const Text& line : runtime::split_text(block, "\r\n")) {
        std::int32_t colon = find_text(line, ":");
        if (colon < 1) {
            continue;
        }
        TextView name = TextView(line).substr(0, colon - 1);
        // Every "-"-separated word gets a capital; empty words (a leading, doubled or
        // trailing "-") are kept so the name keeps all its characters.
        Text normalised;
        std::size_t word_start = 0;
        while (true) {
            std::size_t dash = name.find('-', word_start);
            normalised += capitalise_first(name.substr(word_start, dash - word_start));
            if (dash == TextView::npos) {
                break;
            }
            normalised += '-';
            word_start = dash + 1;
        }
        lines.push_back(normalised + line.substr(colon - 1));
    }
    return join_with(lines, "\r\n");
}

Text get_header_value(TextView block, TextView name) {
    // A line belongs to the header when it starts with the whole name and ": "; the value is
    // everything after that, even if it contains the name again.
    Text prefix = Text(name) + ": ";
    Text value;
    for (const Text& line : runtime::split_text(block, "\r\n")) {
        if (runtime::text_begins_with(line, prefix)) {
            value = line.substr(prefix.size());
        }
    }
    return value;
}

Text merge_cookies(TextView old_list, TextView new_list) {
    runtime::Array<Text> old_items = runtime::split_text(prepare_cookie_list(old_list), "; ");
    runtime::Array<Text> new_items = runtime::split_text(prepare_cookie_list(new_list), "; ");
    std::vector<Text> combined(new_items.begin(), new_items.end());
    std::vector<Text> new_names;
    for (const Text& item : new_items) {
        new_names.push_back(cookie_name(item));
    }
    for (const Text& item : old_items) {
        if (std::find(new_names.begin(), new_names.end(), cookie_name(item)) == new_names.end()) {
            combined.push_back(item);
        }
    }
    std::vector<Text> kept;
    for (const Text& item : combined) {
        if (runtime::text_right(item, 8) != "=deleted") {
            kept.push_back(item);
        }
    }
    return remove_duplicates(join_with(kept, "; "), "; ", true);
}

Text remove_duplicates(TextView text, TextView separator, bool by_separator) {
    std::vector<Text> items;
    if (by_separator) {
        for (const Text& item : runtime::split_text(text, separator)) {
            items.push_back(item);
        }
    } else {
        for (std::size_t i = 0; i < text.size();) {
            std::size_t size = text.substr(i, 2) == "\r\n" ? 2 : runtime::char_size(text, i);
            items.emplace_back(text.substr(i, size));
            i += size;
        }
    }
    std::vector<Text> kept;
    for (Text& item : items) {
        if (std::find(kept.begin(), kept.end(), item) == kept.end()) {
            kept.push_back(std::move(item));
        }
    }
    return join_with(kept, separator);
}

}  // namespace wavlon::network
