// Text building and the allocation-failure report.
//
// Values own their storage (Text, std::vector), so the caller-owned allocations of
// the runtime's value model are ordinary values here. What stays is the rule that an
// allocation that fails ends the program with "分配 %d 字节内存失败!" and its size.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string_view>

#include "runtime/text.h"

namespace wavlon::runtime {

// Number of bytes of a text (its length; 0 for the empty text).
std::int32_t count_text_bytes(TextView text);

// One fresh text made of the parts in order, allocated once for the whole result.
Text join_texts(std::initializer_list<TextView> parts);

// Reserves room for `size` bytes in `text`; an allocation that fails is fatal.
void reserve_text(Text& text, std::size_t size);

// Test seam: allocations made through reserve_text above `limit` bytes fail as if the heap
// were exhausted. 0 removes the limit.
void set_allocation_limit_for_tests(std::size_t limit);

// The fatal report of a failed allocation of `size` bytes.
[[noreturn]] void report_allocation_failure(std::size_t size);

}  // namespace wavlon::runtime
