// Little-endian readers and writers for the stored window template and its blocks.
//
// ByteReader is sticky: the first read that does not fit records a TemplateError (with the
// absolute offset of that read) and every later read yields zero/empty without touching
// memory, so decoders read a whole structure and check failed() once where it matters.
// Counts taken from the data must be checked with fits() before a loop uses them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "runtime/template_error.h"
#include "runtime/text.h"

namespace wavlon::runtime::detail {

class ByteReader {
public:
    // `base` is the absolute offset of bytes[0], used in error reports.
    explicit ByteReader(std::span<const std::uint8_t> bytes, std::size_t base = 0)
        : m_bytes(bytes), m_base(base) {}

    bool failed() const { return m_failed; }
    const TemplateError& error() const { return m_error; }
    std::size_t position() const { return m_pos; }
    std::size_t remaining() const { return m_failed ? 0 : m_bytes.size() - m_pos; }
    std::size_t absolute(std::size_t pos) const { return m_base + pos; }
    bool at_end() const { return remaining() == 0; }

    // Records an error at `pos` (relative) unless one is already recorded.
    void fail(std::size_t pos, std::string what) {
        if (!m_failed) {
            m_failed = true;
            m_error = TemplateError{m_base + pos, std::move(what)};
        }
    }
    void fail_here(std::string what) { fail(m_pos, std::move(what)); }
    // Takes over the error of a nested reader, whose offsets are already absolute.
    void adopt(const TemplateError& error) {
        if (!m_failed) {
            m_failed = true;
            m_error = error;
        }
    }

    // True when `count` items of `size` bytes each fit in what is left (no overflow).
    bool fits(std::uint64_t count, std::uint64_t size) const {
        return size == 0 || count <= remaining() / size;
    }

    std::uint32_t u32(const char* what) {
        std::uint8_t b[4]{};
        if (!take(b, 4, what)) {
            return 0;
        }
        return std::uint32_t{b[0]} | (std::uint32_t{b[1]} << 8) | (std::uint32_t{b[2]} << 16) |
               (std::uint32_t{b[3]} << 24);
    }
    std::int32_t i32(const char* what) { return static_cast<std::int32_t>(u32(what)); }
    std::uint8_t u8(const char* what) {
        std::uint8_t b = 0;
        take(&b, 1, what);
        return b;
    }
    std::vector<std::uint8_t> bytes(std::size_t n, const char* what) {
        if (!check(n, what)) {
            return {};
        }
        std::vector<std::uint8_t> out(m_bytes.begin() + static_cast<std::ptrdiff_t>(m_pos),
                                      m_bytes.begin() + static_cast<std::ptrdiff_t>(m_pos + n));
        m_pos += n;
        return out;
    }
    void skip(std::size_t n, const char* what) {
        if (check(n, what)) {
            m_pos += n;
        }
    }
    // u32 length, then that many bytes.
    std::vector<std::uint8_t> counted_bytes(const char* what) {
        std::size_t start = m_pos;
        std::uint32_t n = u32(what);
        if (!m_failed && n > remaining()) {
            fail(start, std::string(what) + " length past the end");
            return {};
        }
        return bytes(n, what);
    }
    Text counted_text(const char* what) {
        auto b = counted_bytes(what);
        return Text(b.begin(), b.end());
    }
    // Bytes up to a zero byte, which is consumed.
    Text zstring(const char* what) {
        if (m_failed) {
            return {};
        }
        const auto* begin = m_bytes.data() + m_pos;
        const void* zero =
            m_pos < m_bytes.size() ? std::memchr(begin, 0, m_bytes.size() - m_pos) : nullptr;
        if (zero == nullptr) {
            fail_here(std::string(what) + " has no terminator");
            return {};
        }
        auto n = static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - begin);
        Text out(reinterpret_cast<const char*>(begin), n);
        m_pos += n + 1;
        return out;
    }
    std::span<const std::uint8_t> rest() {
        if (m_failed) {
            return {};
        }
        auto out = m_bytes.subspan(m_pos);
        m_pos = m_bytes.size();
        return out;
    }

private:
    bool check(std::size_t n, const char* what) {
        if (m_failed) {
            return false;
        }
        if (n > m_bytes.size() - m_pos) {
            fail_here(std::string(what) + " past the end");
            return false;
        }
        return true;
    }
    bool take(std::uint8_t* out, std::size_t n, const char* what) {
        if (!check(n, what)) {
            return false;
        }
        std::memcpy(out, m_bytes.data() + m_pos, n);
        m_pos += n;
        return true;
    }

    std::span<const std::uint8_t> m_bytes;
    std::size_t m_base;
    std::size_t m_pos = 0;
    bool m_failed = false;
    TemplateError m_error;
};

class ByteWriter {
public:
    void u32(std::uint32_t v) {
        for (int shift = 0; shift < 32; shift += 8) {
            m_out.push_back(static_cast<std::uint8_t>(v >> shift));
        }
    }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void u8(std::uint8_t v) { m_out.push_back(v); }
    void zeros(std::size_t n) { m_out.insert(m_out.end(), n, 0); }
    void bytes(std::span<const std::uint8_t> b) { m_out.insert(m_out.end(), b.begin(), b.end()); }
    void bytes(std::string_view b) { m_out.insert(m_out.end(), b.begin(), b.end()); }
    void counted(std::span<const std::uint8_t> b) {
        u32(static_cast<std::uint32_t>(b.size()));
        bytes(b);
    }
    // Texts are stored in their own bytes (GB18030).
    void counted(TextView t) {
        u32(static_cast<std::uint32_t>(t.size()));
        bytes(t.bytes());
    }
    void zstring(TextView t) {
        bytes(t.bytes());
        u8(0);
    }
    // Overwrites a u32 written earlier at `pos`.
    void patch_u32(std::size_t pos, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            m_out[pos + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
        }
    }
    std::size_t size() const { return m_out.size(); }
    std::vector<std::uint8_t> take() { return std::move(m_out); }

private:
    std::vector<std::uint8_t> m_out;
};

}  // namespace wavlon::runtime::detail
