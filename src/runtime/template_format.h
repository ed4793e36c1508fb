// The stored window template: its decoded form, the decoder and the writer.
//
// Layout (all integers little-endian u32 unless noted; a counted text is a u32 length and
// that many bytes; a zero-terminated text ends in one zero byte):
//   window directory: u32 D (8 x windows), the window ids, as many u32 object slots;
//   per window: u32 attribute A, u32 attribute B, two counted texts, the unit store;
//   unit store: u32 record count n, u32 byte length L of what follows, n unit ids,
//     n record offsets (relative to the first byte after the offset array), then the records,
//     each a u32 length R and R bytes of unit record.
// A unit record: u32 type, u32 event link, 16 reserved bytes, name and comment
// (zero-terminated), u32 live-object slot, i32 left/top/width/height, u32 cursor slot,
// u32 parent, u32 child count K and K child ids, counted cursor bytes, zero-terminated tag,
// u32 reserved, u32 state flags, u32 reserved, u32 event count E, E x (i32 event number,
// u32 handler), 20 reserved bytes, then the type-specific block (the rest of the record).
// A menu item (type 0x00010003) has after name and comment 12 bytes, a zero-terminated text
// and one u32 handler.
//
// Handlers: in the stored bytes a handler is a routine number of the program (an index into
// the routine names the template carries beside it, see template_routines), or kNoHandler.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "runtime/template_error.h"
#include "runtime/text.h"

namespace wavlon::runtime {

constexpr std::uint32_t kNoHandler = 0xFFFFFFFF;
constexpr std::uint32_t kMenuItemType = 0x00010003;

// State flag bits of a unit record.
constexpr std::uint32_t kFlagVisible = 1u << 0;
constexpr std::uint32_t kFlagDisabled = 1u << 1;
constexpr std::uint32_t kFlagTabStop = 1u << 2;

struct EventBinding {
    std::int32_t event = 0;
    std::uint32_t handler = kNoHandler;
    friend bool operator==(const EventBinding&, const EventBinding&) = default;
};

struct UnitRecord {
    std::uint32_t type = 0;
    std::uint32_t event_link = 0;
    Text name;
    Text comment;
    std::int32_t left = 0, top = 0, width = 0, height = 0;
    std::uint32_t parent = 0;
    std::vector<std::uint32_t> children;
    std::vector<std::uint8_t> cursor{0, 0, 0, 0};
    Text tag;
    std::uint32_t flags = 0;
    std::vector<EventBinding> events;
    std::vector<std::uint8_t> type_block;
    // Menu-item form only.
    std::vector<std::uint8_t> menu_fields;  // 12 bytes; the writer pads a shorter value
    Text menu_text;
    std::uint32_t menu_handler = kNoHandler;

    bool is_menu_item() const { return type == kMenuItemType; }
    friend bool operator==(const UnitRecord&, const UnitRecord&) = default;
};

struct UnitStore {
    std::vector<std::uint32_t> ids;  // parallel to records; ids[0] is the window's own record
    std::vector<UnitRecord> records;
    friend bool operator==(const UnitStore&, const UnitStore&) = default;
};

struct WindowBlock {
    std::uint32_t id = 0;
    std::uint32_t attribute_a = 0;
    std::uint32_t attribute_b = 0;
    Text text1;
    Text text2;
    UnitStore store;
    friend bool operator==(const WindowBlock&, const WindowBlock&) = default;
};

struct WindowTemplate {
    std::vector<WindowBlock> windows;
    friend bool operator==(const WindowTemplate&, const WindowTemplate&) = default;
};

// Decodes a whole template. Never reads outside `bytes`; any inconsistency is an error: a
// length past the end, a record offset outside its store, trailing bytes inside a record, an
// empty store (record 0 is the window's own), a duplicate id, or a type-specific block that
// its type cannot read. The object, live-object and cursor slots and the reserved fields are
// skipped.
std::variant<WindowTemplate, TemplateError> decode_template(std::span<const std::uint8_t> bytes);

// Writes a template in the stored layout; decode_template(encode_template(t)) == t.
std::vector<std::uint8_t> encode_template(const WindowTemplate& window_template);

}  // namespace wavlon::runtime
