// Walks the text, conversion and byte-set commands over arbitrary bytes. Every piece of the
// input lives in a heap block of exactly its own size, so a read one byte past a text is
// caught by the address sanitizer; a few cheap invariants are checked on the way.
//
// Input: flags, start, count, search length, replacement length, then the search text, the
// replacement text and the rest as the text searched.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "fuzz_input.h"
#include "runtime/byte_set_commands.h"
#include "runtime/conversions.h"
#include "runtime/text_commands.h"

namespace {

using namespace wavlon::runtime;
using wavlon::fuzz::check;
using wavlon::fuzz::Piece;

void walk_text(TextView text, TextView search, TextView replacement, std::uint8_t flags,
               std::int32_t start, std::int32_t count) {
    bool ignore_case = (flags & 1) != 0;
    std::int32_t found = find_text(text, search, start, ignore_case);
    check(found == -1 || (found >= 1 && static_cast<std::size_t>(found) <= text.size()));
    if (found > 0 && !ignore_case) {
        check(text.substr(static_cast<std::size_t>(found) - 1, search.size()) == search);
    }
    std::int32_t last = find_text_reverse(text, search, std::nullopt, ignore_case);
    check(last == -1 || (last >= 1 && static_cast<std::size_t>(last) <= text.size()));
    check(!search.empty() || found <= 1);
    find_text_reverse(text, search, start, ignore_case);

    Text replaced = replace_text(text, search, replacement, start,
                                 (flags & 2) ? std::optional<std::int32_t>(count) : std::nullopt,
                                 (flags & 4) != 0);
    check(replace_text(text, search, replacement, start, 0) == text);

    auto parts =
        split_text(text, search, (flags & 8) ? std::optional<std::int32_t>(count) : std::nullopt);
    std::size_t total = 0;
    for (const Text& part : parts) {
        total += part.size();
    }
    check(total <= text.size());

    Text trimmed = trim_text(text);
    check(text.find(trimmed) != TextView::npos);
    check(to_upper(text).size() == text.size());

    std::int32_t forward = compare_text(text, search, (flags & 16) != 0);
    std::int32_t backward = compare_text(search, text, (flags & 16) != 0);
    check((forward > 0) == (backward < 0) && (forward == 0) == (backward == 0));
    check(compare_text(text, text, false) == 0);

    to_integer(Value::text(Text(text)));
    text_middle(text, start, count);
    char_code(text, start);
}

void walk_byte_set(std::string_view bytes, std::int32_t start) {
    ByteSet set = ByteSet::from_string(bytes);
    for (std::int32_t type = 1; type <= 10; ++type) {
        std::int32_t position = start;
        // Each read advances by at least one byte or ends the walk with -1.
        for (std::size_t steps = 0; position != -1 && steps <= bytes.size() + 1; ++steps) {
            std::int32_t before = position;
            to_text(byte_set_value(set, type, &position));
            check(position == -1 || position > before);
        }
        check(position == -1);
    }
    byte_set_middle(set, start, static_cast<std::int32_t>(bytes.size()));
    to_text(Value::byte_set(set));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) {
        return 0;
    }
    std::uint8_t flags = data[0];
    auto start = static_cast<std::int32_t>(static_cast<std::int8_t>(data[1]));
    auto count = static_cast<std::int32_t>(static_cast<std::int8_t>(data[2]));
    std::size_t rest = size - 5;
    std::size_t search_size = data[3] % (rest + 1);
    std::size_t replacement_size = data[4] % (rest - search_size + 1);
    const std::string_view input(reinterpret_cast<const char*>(data) + 5, rest);
    Piece search(input.substr(0, search_size));
    Piece replacement(input.substr(search_size, replacement_size));
    Piece text(input.substr(search_size + replacement_size));

    // The pieces' bytes are taken as texts.
    walk_text(TextView(text.view()), TextView(search.view()), TextView(replacement.view()), flags,
              start, count);
    walk_byte_set(text.view(), start < 1 ? 1 : start);
    return 0;
}
