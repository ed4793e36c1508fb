#include "runtime/byte_set.h"

#include <cstring>

namespace wavlon::runtime {
namespace {

void put_u32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}

std::uint32_t get_u32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

ByteSet::ByteSet(const void* data, std::size_t size) {
    append(data, size);
}

void ByteSet::append(const void* data, std::size_t size) {
    if (size == 0) {
        return;
    }
    auto p = static_cast<const std::uint8_t*>(data);
    m_bytes.insert(m_bytes.end(), p, p + size);
}

std::vector<std::uint8_t> ByteSet::to_stored() const {
    std::vector<std::uint8_t> out;
    out.reserve(8 + m_bytes.size());
    put_u32(out, 1);
    put_u32(out, static_cast<std::uint32_t>(m_bytes.size()));
    out.insert(out.end(), m_bytes.begin(), m_bytes.end());
    return out;
}

std::optional<ByteSet> ByteSet::from_stored(std::span<const std::uint8_t> block) {
    if (block.size() < 8 || get_u32(block.data()) != 1) {
        return std::nullopt;
    }
    std::uint32_t length = get_u32(block.data() + 4);
    if (length > block.size() - 8) {
        return std::nullopt;
    }
    return ByteSet(block.data() + 8, length);
}

}  // namespace wavlon::runtime
