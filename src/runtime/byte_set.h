// Byte-sets: runs of bytes, the empty one being the null byte-set.
//
// Where a byte-set is exchanged as bytes (stored constants, data handed to another part of
// the program as one block) it has the stored layout: u32 dimension count 1, u32 length n,
// then the n bytes, little-endian.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace wavlon::runtime {

class ByteSet {
public:
    ByteSet() = default;
    explicit ByteSet(std::vector<std::uint8_t> bytes) : m_bytes(std::move(bytes)) {}
    ByteSet(const void* data, std::size_t size);
    static ByteSet from_string(std::string_view bytes) { return {bytes.data(), bytes.size()}; }

    // The stored layout of this byte-set (8 header bytes, then the data).
    std::vector<std::uint8_t> to_stored() const;
    // Reads a byte-set in the stored layout; nullopt when the block is shorter than its
    // header says or its dimension count is not 1.
    static std::optional<ByteSet> from_stored(std::span<const std::uint8_t> block);

    std::size_t size() const { return m_bytes.size(); }
    bool empty() const { return m_bytes.empty(); }
    const std::uint8_t* data() const { return m_bytes.data(); }
    std::uint8_t* data() { return m_bytes.data(); }
    const std::vector<std::uint8_t>& bytes() const { return m_bytes; }
    std::vector<std::uint8_t>& bytes() { return m_bytes; }
    std::string_view view() const {
        return {reinterpret_cast<const char*>(m_bytes.data()), m_bytes.size()};
    }
    std::string to_string() const { return std::string(view()); }

    void append(const void* data, std::size_t size);

    friend bool operator==(const ByteSet&, const ByteSet&) = default;

private:
    std::vector<std::uint8_t> m_bytes;
};

}  // namespace wavlon::runtime
