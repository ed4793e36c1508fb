#include "runtime/memory.h"

#include <new>
#include <stdexcept>

#include "runtime/fatal.h"

namespace wavlon::runtime {
namespace {
std::size_t g_allocation_limit = 0;
}

std::int32_t count_text_bytes(TextView text) {
    return static_cast<std::int32_t>(text.size());
}

void set_allocation_limit_for_tests(std::size_t limit) { g_allocation_limit = limit; }

void report_allocation_failure(std::size_t size) {
    fatal_error("分配 "_gb + decimal(static_cast<long long>(size)) + " 字节内存失败!"_gb);
}

void reserve_text(Text& text, std::size_t size) {
    if (g_allocation_limit != 0 && size > g_allocation_limit) {
        report_allocation_failure(size);
    }
    try {
        text.reserve(size);
    } catch (const std::bad_alloc&) {
        report_allocation_failure(size);
    } catch (const std::length_error&) {
        report_allocation_failure(size);
    }
}

Text join_texts(std::initializer_list<TextView> parts) {
    std::size_t total = 0;
    for (auto part : parts) {
        total += part.size();
    }
    Text result;
    reserve_text(result, total + 1);
    for (auto part : parts) {
        result.append(part);
    }
    return result;
}

}  // namespace wavlon::runtime
