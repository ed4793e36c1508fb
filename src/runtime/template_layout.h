// The visitors that read and write the stored layouts of the window template.
//
// Each layout is written once, as a `fields(visitor, value)` function of a Layout
// specialisation that walks the members in stored order and names each one's wire form:
// u32, i32, u8, counted bytes or text, zero-terminated or fixed-size text, reserved bytes, a
// counted list, and so on. BlockReader fills the members from the bytes, BlockWriter writes
// them out, so the two directions cannot disagree. The type blocks (template_blocks.cpp) and
// the unit records (template_format.cpp) are described this way.
#pragma once

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "runtime/template_io.h"

namespace wavlon::runtime::detail {

// The `what` names appear in the errors a damaged block or record reports. A layout that
// stands in a fixed-size slot (the font) also names its size, kStoredSize.
template <class T>
struct Layout;

inline std::string version_error(const char* block, std::uint32_t version) {
    return "unsupported " + std::string(block) + " block version " + std::to_string(version);
}

// Fills the members a layout walks. The reader is sticky, so after the first error every
// later field reads as zero and the error keeps the offset where the block went wrong.
class BlockReader {
public:
    BlockReader(ByteReader& in, const char* block) : m_in(in), m_block(block) {}

    bool empty_block() const { return m_in.at_end(); }

    // The one layout version this decoder knows.
    void version(std::uint32_t& value, std::uint32_t wanted) {
        std::size_t at = m_in.position();
        value = m_in.u32("block version");
        if (!m_in.failed() && value != wanted) {
            m_in.fail(at, version_error(m_block, value));
        }
    }
    // Any version up to `newest`; the fields that follow may depend on it.
    void version_up_to(std::uint32_t& value, std::uint32_t newest) {
        std::size_t at = m_in.position();
        value = m_in.u32("block version");
        if (!m_in.failed() && value > newest) {
            m_in.fail(at, version_error(m_block, value));
        }
    }

    void u32(std::uint32_t& value, const char* what) { value = m_in.u32(what); }
    void i32(std::int32_t& value, const char* what) { value = m_in.i32(what); }
    void u8(std::uint8_t& value, const char* what) { value = m_in.u8(what); }
    void counted_bytes(std::vector<std::uint8_t>& value, const char* what) {
        value = m_in.counted_bytes(what);
    }
    void counted_text(Text& value, const char* what) { value = m_in.counted_text(what); }
    void zstring(Text& value, const char* what) { value = m_in.zstring(what); }

    // Bytes this program does not use: skipped on reading, zeros on writing.
    void reserved(std::size_t size, const char* what) { m_in.skip(size, what); }
    // Exactly `size` bytes.
    void fixed_bytes(std::vector<std::uint8_t>& value, std::size_t size, const char* what) {
        value = m_in.bytes(size, what);
    }
    // Everything up to the end of the bytes.
    void rest(std::vector<std::uint8_t>& value) {
        auto bytes = m_in.rest();
        value.assign(bytes.begin(), bytes.end());
    }
    // A u32 count, then that many items of `item_size` bytes each, each read by `item`.
    template <class Item, class Fields>
    void list(std::vector<Item>& value, std::size_t item_size, const char* what, Fields item) {
        value.clear();
        std::size_t at = m_in.position();
        std::uint32_t count = m_in.u32(what);
        if (!m_in.failed() && !m_in.fits(count, item_size)) {
            m_in.fail(at, std::string(what) + " " + std::to_string(count) + " overruns the record");
        }
        for (std::uint32_t i = 0; i < count && !m_in.failed(); ++i) {
            item(*this, value.emplace_back());
        }
    }

    // A zero-terminated text in a field of `size` bytes; what follows the terminator is
    // ignored.
    void fixed_text(Text& value, std::size_t size, const char* what) {
        std::size_t at = m_in.position();
        auto field = m_in.bytes(size, what);
        std::size_t n = 0;
        while (n < field.size() && field[n] != 0) {
            ++n;
        }
        if (n == field.size()) {
            m_in.fail(at, std::string(what) + " has no terminator");
            return;
        }
        value = Text(field.begin(), field.begin() + static_cast<std::ptrdiff_t>(n));
    }

    template <class Enum>
    void alignment(Enum& value, const char* what) {
        std::size_t at = m_in.position();
        std::uint32_t stored = m_in.u32(what);
        if (!m_in.failed() && stored > 2) {
            m_in.fail(at, std::string(what) + " " + std::to_string(stored) + " is not 0, 1 or 2");
        }
        value = static_cast<Enum>(stored);
    }

    // u32 size 0 (the default font) or 60, then the 60-byte logical font.
    template <class Font>
    void font(std::optional<Font>& value) {
        constexpr std::size_t kSize = Layout<Font>::kStoredSize;
        value = std::nullopt;
        std::size_t at = m_in.position();
        std::uint32_t size = m_in.u32("font size");
        if (m_in.failed() || size == 0) {
            return;
        }
        if (size != kSize) {
            m_in.fail(at, "font size " + std::to_string(size) + " is neither 0 nor 60");
            return;
        }
        if (!m_in.fits(1, kSize)) {
            m_in.fail_here("font past the end");
            return;
        }
        Font stored;
        Layout<Font>::fields(*this, stored);
        if (!m_in.failed()) {
            value = std::move(stored);
        }
    }

    // u32 byte length, then columns up to the end of those bytes.
    template <class Column>
    void columns(std::vector<Column>& value) {
        value.clear();
        std::size_t at = m_in.position();
        std::uint32_t length = m_in.u32("column data length");
        if (m_in.failed()) {
            return;
        }
        if (length > m_in.remaining()) {
            m_in.fail(at, "column data length past the end");
            return;
        }
        std::size_t data_at = m_in.position();
        auto data = m_in.bytes(length, "column data");
        ByteReader in(data, m_in.absolute(data_at));
        BlockReader cols(in, m_block);
        while (!in.failed() && !in.at_end()) {
            Column column;
            Layout<Column>::fields(cols, column);
            value.push_back(std::move(column));
        }
        if (in.failed()) {
            m_in.adopt(in.error());
            value.clear();
        }
    }

private:
    ByteReader& m_in;
    const char* m_block;
};

// Writes the members a layout walks, in the same order and forms.
class BlockWriter {
public:
    explicit BlockWriter(ByteWriter& out) : m_out(out) {}

    bool empty_block() const { return false; }  // every field is written, defaults too

    void version(std::uint32_t value, std::uint32_t) { m_out.u32(value); }
    void version_up_to(std::uint32_t value, [[maybe_unused]] std::uint32_t newest) {
        assert(value <= newest);
        m_out.u32(value);
    }

    void u32(std::uint32_t value, const char*) { m_out.u32(value); }
    void i32(std::int32_t value, const char*) { m_out.i32(value); }
    void u8(std::uint8_t value, const char*) { m_out.u8(value); }
    void counted_bytes(const std::vector<std::uint8_t>& value, const char*) {
        m_out.counted(value);
    }
    void counted_text(const Text& value, const char*) { m_out.counted(value); }
    void zstring(const Text& value, const char*) {
        assert(value.find('\0') == Text::npos);
        m_out.zstring(value);
    }
    void reserved(std::size_t size, const char*) { m_out.zeros(size); }
    // A shorter value is padded with zeros, a longer one cut.
    void fixed_bytes(const std::vector<std::uint8_t>& value, std::size_t size, const char*) {
        const std::size_t kept = std::min(value.size(), size);
        m_out.bytes(std::span(value).first(kept));
        m_out.zeros(size - kept);
    }
    void rest(const std::vector<std::uint8_t>& value) { m_out.bytes(value); }
    template <class Item, class Fields>
    void list(const std::vector<Item>& value, std::size_t, const char*, Fields item) {
        m_out.u32(static_cast<std::uint32_t>(value.size()));
        for (const Item& one : value) {
            item(*this, one);
        }
    }

    void fixed_text(const Text& value, std::size_t size, const char*) {
        assert(value.size() < size && value.find('\0') == Text::npos);
        m_out.bytes(value.bytes());
        m_out.zeros(size - value.size());
    }
    template <class Enum>
    void alignment(Enum value, const char*) {
        m_out.u32(static_cast<std::uint32_t>(value));
    }

    template <class Font>
    void font(const std::optional<Font>& value) {
        if (!value) {
            m_out.u32(0);
            return;
        }
        m_out.u32(Layout<Font>::kStoredSize);
        Layout<Font>::fields(*this, *value);
    }

    template <class Column>
    void columns(const std::vector<Column>& value) {
        ByteWriter data;
        BlockWriter cols(data);
        for (const auto& column : value) {
            Layout<Column>::fields(cols, column);
        }
        m_out.counted(data.take());
    }

private:
    ByteWriter& m_out;
};

}  // namespace wavlon::runtime::detail
