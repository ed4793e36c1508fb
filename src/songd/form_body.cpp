#include "songd/form_body.h"

#include <charconv>

#include "platform/codec.h"

namespace wavlon::songd {
namespace {

int hex_value(char c) {
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

// Length of the GB18030 character starting at `bytes[i]`, or 0 when no well-formed one does.
std::size_t gb18030_char_length(std::string_view bytes, std::size_t i) {
    auto at = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
    unsigned char lead = at(i);
    if (lead < 0x80) {
        return 1;
    }
    if (lead == 0x80 || lead == 0xFF || i + 1 >= bytes.size()) {
        return 0;
    }
    unsigned char second = at(i + 1);
    if ((second >= 0x40 && second <= 0x7E) || (second >= 0x80 && second <= 0xFE)) {
        return 2;
    }
    if (second >= 0x30 && second <= 0x39 && i + 3 < bytes.size() && at(i + 2) >= 0x81 &&
        at(i + 2) <= 0xFE && at(i + 3) >= 0x30 && at(i + 3) <= 0x39) {
        return 4;
    }
    return 0;
}

bool is_well_formed_gb18030(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        std::size_t length = gb18030_char_length(bytes, i);
        if (length == 0) {
            return false;
        }
        i += length;
    }
    return true;
}

// Length of the well-formed UTF-8 sequence at `bytes[i]`, or 0.
std::size_t utf8_char_length(std::string_view bytes, std::size_t i) {
    auto at = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
    unsigned char lead = at(i);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) {
            low = 0xA0;
        }
        if (lead == 0xED) {
            high = 0x9F;  // no surrogates
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) {
            low = 0x90;
        }
        if (lead == 0xF4) {
            high = 0x8F;
        }
    } else {
        return 0;
    }
    if (i + length > bytes.size()) {
        return 0;
    }
    if (at(i + 1) < low || at(i + 1) > high) {
        return 0;
    }
    for (std::size_t k = 2; k < length; ++k) {
        if (at(i + k) < 0x80 || at(i + k) > 0xBF) {
            return 0;
        }
    }
    return length;
}

}  // namespace

std::string percent_decode(std::string_view text, bool plus_is_space) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%' && i + 2 < text.size()) {
            int high = hex_value(text[i + 1]);
            int low = hex_value(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        out += (plus_is_space && c == '+') ? ' ' : c;
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> parse_form(std::string_view body) {
    std::vector<std::pair<std::string, std::string>> fields;
    while (!body.empty()) {
        std::size_t end = body.find('&');
        std::string_view field = body.substr(0, end);
        body = end == std::string_view::npos ? std::string_view{} : body.substr(end + 1);
        if (field.empty()) {
            continue;
        }
        std::size_t equals = field.find('=');
        if (equals == std::string_view::npos) {
            fields.emplace_back(percent_decode(field), std::string{});
        } else {
            fields.emplace_back(percent_decode(field.substr(0, equals)),
                                percent_decode(field.substr(equals + 1)));
        }
    }
    return fields;
}

std::optional<std::string> form_value(std::string_view body, std::string_view key) {
    for (auto& [name, value] : parse_form(body)) {
        if (name == key) {
            return std::move(value);
        }
    }
    return std::nullopt;
}

std::string to_utf8_lenient(std::string_view bytes) {
    if (platform::is_valid_utf8(bytes)) {
        return std::string(bytes);
    }
    if (is_well_formed_gb18030(bytes)) {
        return platform::gbk_to_utf8(platform::TextView(bytes));
    }
    std::string out;
    out.reserve(bytes.size() + 8);
    for (std::size_t i = 0; i < bytes.size();) {
        std::size_t length = utf8_char_length(bytes, i);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(bytes.substr(i, length));
            i += length;
        }
    }
    return out;
}

std::optional<long> page_number(const std::optional<std::string>& field) {
    if (!field || field->empty()) {
        return 1;
    }
    const std::string& text = *field;
    long value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc::result_out_of_range) {
        // All digits but too large: a page far past any catalogue.
        bool digits = text.find_first_not_of("0123456789") == std::string::npos;
        return digits ? std::nullopt : std::optional<long>(1);
    }
    if (error != std::errc{} || end != text.data() + text.size() || value < 1) {
        return 1;
    }
    return value;
}

}  // namespace wavlon::songd
