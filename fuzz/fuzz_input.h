// What the fuzz targets share: pieces of the input in heap blocks of their own, and the check
// that stops a run at a broken invariant.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

namespace wavlon::fuzz {

// A copy of part of the input in a heap block of exactly its size, so that a read one byte
// past it is caught by the address sanitizer.
class Piece {
public:
    explicit Piece(std::string_view bytes) : m_bytes(new char[bytes.size()]), m_size(bytes.size()) {
        if (!bytes.empty()) {
            std::memcpy(m_bytes.get(), bytes.data(), bytes.size());
        }
    }
    std::string_view view() const { return {m_bytes.get(), m_size}; }

private:
    std::unique_ptr<char[]> m_bytes;
    std::size_t m_size;
};

// Aborts, which the fuzzer reports with the input, when an invariant does not hold.
inline void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace wavlon::fuzz
