#include "runtime/byte_set_commands.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>

#include "runtime/fatal.h"

namespace wavlon::runtime {
namespace {

std::size_t stored_size(StoredType type) {
    switch (type) {
        case StoredType::kByte:
            return 1;
        case StoredType::kShort:
            return 2;
        case StoredType::kLong:
        case StoredType::kDouble:
        case StoredType::kDateTime:
            return 8;
        default:
            return 4;
    }
}

// The value of `type` from eight little-endian bytes (only the type's own size is used).
Value decode(StoredType type, const std::array<std::uint8_t, 8>& b) {
    std::uint64_t bits = 0;
    for (std::size_t i = stored_size(type); i-- > 0;) {
        bits = (bits << 8) | b[i];
    }
    auto low = static_cast<std::uint32_t>(bits);
    switch (type) {
        case StoredType::kByte:
            return Value::byte(static_cast<std::uint8_t>(bits));
        case StoredType::kShort:
            return Value::short_integer(static_cast<std::int16_t>(bits));
        case StoredType::kInteger:
            return Value::integer(static_cast<std::int32_t>(low));
        case StoredType::kLong:
            return Value::long_integer(static_cast<std::int64_t>(bits));
        case StoredType::kFloat:
            return Value::single(std::bit_cast<float>(low));
        case StoredType::kDouble:
            return Value::real(std::bit_cast<double>(bits));
        case StoredType::kLogical:
            return Value::logical(low != 0);
        case StoredType::kDateTime: {
            // A NaN date-time would defeat clamping; it reads as day 0.
            double days = std::bit_cast<double>(bits);
            return Value::date_time(DateTime{days != days ? 0.0 : days});
        }
        case StoredType::kRoutine:
            return Value::routine(RoutinePointer{low});
        case StoredType::kText:
            break;
    }
    return Value::text({});
}

}  // namespace

std::int32_t array_size(const ByteSet& bytes) {
    return static_cast<std::int32_t>(std::min<std::size_t>(bytes.size(), INT32_MAX));
}

ByteSet byte_set_left(const ByteSet& bytes, std::int32_t n) {
    if (n <= 0) {
        return {};
    }
    return ByteSet(bytes.data(), std::min(bytes.size(), static_cast<std::size_t>(n)));
}

ByteSet byte_set_middle(const ByteSet& bytes, std::int32_t start, std::int32_t n) {
    std::size_t from = start < 1 ? 0 : static_cast<std::size_t>(start) - 1;
    if (n <= 0 || from >= bytes.size()) {
        return {};
    }
    return ByteSet(bytes.data() + from, std::min(bytes.size() - from, static_cast<std::size_t>(n)));
}

ByteSet zero_byte_set(std::int32_t n) {
    if (n <= 0) {
        return {};
    }
    return ByteSet(std::vector<std::uint8_t>(static_cast<std::size_t>(n), 0));
}

Value byte_set_value(const ByteSet& bytes, std::int32_t type_number, std::int32_t* position) {
    if (type_number < 1 || type_number > 10) {
        fatal_error("“欲取出数据的类型”参数值无效"_gb);
    }
    auto type = static_cast<StoredType>(type_number);
    std::int32_t start = position ? *position : 1;
    if (start < 1 || static_cast<std::size_t>(start) > bytes.size()) {
        if (position) {
            *position = -1;
        }
        return type == StoredType::kText ? Value::text({}) : decode(type, {});
    }
    std::size_t from = static_cast<std::size_t>(start) - 1;
    std::string_view rest = bytes.view().substr(from);
    Value value;
    std::size_t consumed = 0;
    if (type == StoredType::kText) {
        std::size_t zero = rest.find('\0');
        value = Value::text(Text(rest.substr(0, zero)));
        // Past the text and its zero byte; a text without one ends the byte-set.
        consumed = zero == std::string_view::npos ? rest.size() + 1 : zero + 1;
    } else {
        std::array<std::uint8_t, 8> buffer{};
        consumed = stored_size(type);
        std::copy_n(bytes.data() + from, std::min(consumed, rest.size()), buffer.begin());
        value = decode(type, buffer);
    }
    if (position) {
        std::size_t next = from + consumed;
        *position = next >= bytes.size() ? -1 : static_cast<std::int32_t>(next + 1);
    }
    return value;
}

ByteSet bytes_from_pointer(const void* address, std::int32_t n) {
    if (address == nullptr || n <= 0) {
        return {};
    }
    return ByteSet(address, static_cast<std::size_t>(n));
}

}  // namespace wavlon::runtime
