#include "runtime/text_commands.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "runtime/memory.h"

namespace wavlon::runtime {
namespace {

unsigned char byte_at(TextView s, std::size_t i) {
    return static_cast<unsigned char>(s[i]);
}

unsigned char fold(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

// Positions handed back to the program are int32; texts never come near 2 GiB, but a cast
// must not wrap if one did.
std::int32_t to_position(std::size_t index) {
    return static_cast<std::int32_t>(std::min<std::size_t>(index + 1, INT32_MAX));
}

// 0-based start of a 1-based position argument, values below 1 counting as 1.
std::size_t start_index(std::int32_t start) {
    return start < 1 ? 0 : static_cast<std::size_t>(start) - 1;
}

// Whether `search` occurs at byte `i` of `text` (i being a character boundary). The two are
// compared character by character and each pair must have the same size, so the match can
// neither end inside a character of `text` nor pair a lone lead byte with a whole character.
bool matches_at(TextView text, std::size_t i, TextView search, bool fold_case) {
    if (search.size() > text.size() - i) {
        return false;
    }
    std::size_t j = 0;
    while (j < search.size()) {
        std::size_t n = char_size(search, j);
        if (char_size(text, i + j) != n) {
            return false;
        }
        if (n == 1) {
            unsigned char a = byte_at(text, i + j);
            unsigned char b = byte_at(search, j);
            if (fold_case ? fold(a) != fold(b) : a != b) {
                return false;
            }
        } else if (std::memcmp(text.data() + i + j, search.data() + j, n) != 0) {
            return false;
        }
        j += n;
    }
    return true;
}

bool is_space_char(TextView text, std::size_t i, std::size_t n) {
    if (n == 1) {
        return text[i] == ' ';
    }
    return n == 2 && byte_at(text, i) == 0xA1 && byte_at(text, i + 1) == 0xA1;
}

}  // namespace

std::int32_t text_byte_length(TextView text) {
    return static_cast<std::int32_t>(std::min<std::size_t>(text.size(), INT32_MAX));
}

Text text_left(TextView text, std::int32_t n) {
    if (n <= 0) {
        return {};
    }
    return Text(text.substr(0, static_cast<std::size_t>(n)));
}

Text text_right(TextView text, std::int32_t n) {
    if (n <= 0) {
        return {};
    }
    std::size_t count = std::min(text.size(), static_cast<std::size_t>(n));
    return Text(text.substr(text.size() - count));
}

Text text_middle(TextView text, std::int32_t start, std::int32_t n) {
    if (start < 1 || static_cast<std::size_t>(start) > text.size() || n <= 0) {
        return {};
    }
    return Text(text.substr(static_cast<std::size_t>(start) - 1, static_cast<std::size_t>(n)));
}

std::int32_t find_text(TextView text, TextView search, std::int32_t start, bool ignore_case) {
    std::size_t from = start_index(start);
    if (from >= text.size()) {
        return -1;
    }
    if (search.empty()) {
        return 1;
    }
    for (std::size_t i = from; i + search.size() <= text.size(); i += char_size(text, i)) {
        if (matches_at(text, i, search, ignore_case)) {
            return to_position(i);
        }
    }
    return -1;
}

std::int32_t find_text_reverse(TextView text, TextView search, std::optional<std::int32_t> limit,
                               bool ignore_case) {
    std::size_t end = text.size();
    if (limit) {
        end = *limit < 1 ? 0 : std::min(text.size(), static_cast<std::size_t>(*limit) - 1);
    }
    if (end == 0) {
        return -1;
    }
    if (search.empty()) {
        return 1;
    }
    // Characters are only known from the start of the text, so walk forward and keep the
    // last match; the full text decides character sizes even near `end`.
    std::int32_t found = -1;
    for (std::size_t i = 0; i + search.size() <= end; i += char_size(text, i)) {
        if (matches_at(text, i, search, ignore_case)) {
            found = to_position(i);
        }
    }
    return found;
}

Text replace_text(TextView text, TextView search, TextView replacement, std::int32_t start,
                  std::optional<std::int32_t> count, bool case_sensitive) {
    if (text.empty() || search.empty()) {
        return Text(text);
    }
    std::size_t i = std::min(start_index(start), text.size());
    std::int64_t remaining = count ? *count : INT64_MAX;
    Text out(text.substr(0, i));
    while (i < text.size() && remaining > 0) {
        if (matches_at(text, i, search, !case_sensitive)) {
            out.append(replacement);
            i += search.size();
            --remaining;
            continue;
        }
        std::size_t n = char_size(text, i);
        out.append(text.substr(i, n));
        i += n;
    }
    if (i < text.size()) {
        out.append(text.substr(i));
    }
    return out;
}

Array<Text> split_text(TextView text, TextView separator, std::optional<std::int32_t> max_parts) {
    Array<Text> parts;
    std::int64_t limit = max_parts ? *max_parts : INT64_MAX;
    if (limit <= 0 || text.empty()) {
        return parts;
    }
    if (separator.empty()) {
        parts.append(Text(text));
        return parts;
    }
    std::size_t part_start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        if (matches_at(text, i, separator, false)) {
            parts.append(Text(text.substr(part_start, i - part_start)));
            if (parts.size() >= limit) {
                return parts;
            }
            i += separator.size();
            part_start = i;
        } else {
            i += char_size(text, i);
        }
    }
    if (part_start < text.size()) {
        parts.append(Text(text.substr(part_start)));
    }
    return parts;
}

Text trim_text(TextView text) {
    std::size_t first = 0;
    while (first < text.size()) {
        std::size_t n = char_size(text, first);
        if (!is_space_char(text, first, n)) {
            break;
        }
        first += n;
    }
    // Trailing spaces can only be recognised by walking from the front.
    std::size_t end = first;
    for (std::size_t i = first; i < text.size();) {
        std::size_t n = char_size(text, i);
        if (!is_space_char(text, i, n)) {
            end = i + n;
        }
        i += n;
    }
    return Text(text.substr(first, end - first));
}

Text to_upper(TextView text) {
    Text out(text);
    for (std::size_t i = 0; i < out.size();) {
        std::size_t n = char_size(out, i);
        if (n == 1 && out[i] >= 'a' && out[i] <= 'z') {
            out[i] = static_cast<char>(out[i] - ('a' - 'A'));
        }
        i += n;
    }
    return out;
}

std::int32_t compare_text(TextView a, TextView b, bool case_sensitive) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        std::size_t n = char_size(a, i);
        std::size_t m = char_size(b, j);
        if (n == 1 && m == 1) {
            unsigned char x = case_sensitive ? byte_at(a, i) : fold(byte_at(a, i));
            unsigned char y = case_sensitive ? byte_at(b, j) : fold(byte_at(b, j));
            if (x != y) {
                return x < y ? -1 : 1;
            }
        } else {
            int c = std::memcmp(a.data() + i, b.data() + j, std::min(n, m));
            if (c != 0) {
                return c < 0 ? -1 : 1;
            }
            if (n != m) {
                return n < m ? -1 : 1;
            }
        }
        i += n;
        j += m;
    }
    if (i < a.size()) {
        return 1;
    }
    return j < b.size() ? -1 : 0;
}

bool text_begins_with(TextView text, TextView prefix) {
    return text.starts_with(prefix);
}

Text spaces(std::int32_t n) {
    if (n < 1) {
        return {};
    }
    Text out;
    reserve_text(out, static_cast<std::size_t>(n));
    out.append(static_cast<std::size_t>(n), ' ');
    return out;
}

std::int32_t char_code(TextView text, std::int32_t position) {
    if (position < 1 || static_cast<std::size_t>(position) > text.size()) {
        return 0;
    }
    return static_cast<signed char>(text[static_cast<std::size_t>(position) - 1]);
}

Text char_from_code(std::int32_t code) {
    auto byte = static_cast<char>(code & 0xFF);
    if (byte == 0) {
        return {};
    }
    return Text(1, byte);
}

}  // namespace wavlon::runtime
