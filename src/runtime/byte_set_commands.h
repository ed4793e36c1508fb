// Byte-set and array commands: sizes, cuts, zero-filled byte-sets, reading typed values out of
// a byte-set, and copying bytes from an address.
//
// Positions are 1-based byte positions. Results are fresh values; no command changes its
// arguments except the position variable of byte_set_value.
#pragma once

#include <cstdint>

#include "runtime/array.h"
#include "runtime/byte_set.h"
#include "runtime/value.h"

namespace wavlon::runtime {

// Length of the byte-set (saturated at INT32_MAX).
std::int32_t array_size(const ByteSet& bytes);

// Number of elements of the array.
template <class T>
std::int32_t array_size(const Array<T>& array) {
    return array.size();
}

// The first min(n, length) bytes; empty for n <= 0.
ByteSet byte_set_left(const ByteSet& bytes, std::int32_t n);

// n bytes from position `start` (start < 1 counting as 1), cut at the end; empty for n <= 0
// or a start past the end.
ByteSet byte_set_middle(const ByteSet& bytes, std::int32_t start, std::int32_t n);

// n zero bytes; empty for n <= 0.
ByteSet zero_byte_set(std::int32_t n);

// Type numbers of byte_set_value.
enum class StoredType : std::int32_t {
    kByte = 1,
    kShort = 2,
    kInteger = 3,
    kLong = 4,
    kFloat = 5,
    kDouble = 6,
    kLogical = 7,
    kDateTime = 8,
    kRoutine = 9,
    kText = 10,
};

// Reads a value of type `type_number` (1-10, see StoredType) little-endian from the byte-set,
// starting at *position (1-based), or at byte 1 when `position` is null. A value whose bytes
// run past the end is padded with zero bytes; a text (type 10) runs to the first zero byte or
// the end. *position is then advanced past the value (past the text and its zero byte), or
// set to -1 when nothing is left to read after it. A start position outside the byte-set
// (below 1 or past the end, such as the -1 of a finished read) yields the type's empty value
// (0, false, the empty text) and sets *position to -1.
// A type number outside 1-10 is fatal ("“欲取出数据的类型”参数值无效").
Value byte_set_value(const ByteSet& bytes, std::int32_t type_number,
                     std::int32_t* position = nullptr);

// A copy of the n bytes at `address`; empty for a null address or n <= 0. The caller vouches
// that the n bytes are readable.
ByteSet bytes_from_pointer(const void* address, std::int32_t n);

}  // namespace wavlon::runtime
