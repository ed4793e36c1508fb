#include "runtime/template_format.h"

#include <cassert>
#include <cstdio>
#include <set>
#include <string>

#include "runtime/template_blocks.h"
#include "runtime/template_io.h"
#include "runtime/template_layout.h"

namespace wavlon::runtime {

using detail::BlockReader;
using detail::BlockWriter;
using detail::ByteReader;
using detail::ByteWriter;
using detail::Layout;

namespace {

constexpr std::size_t kReservedAfterLink = 16;
constexpr std::size_t kReservedAfterEvents = 20;
constexpr std::size_t kMenuFieldsSize = 12;

}  // namespace

// A unit record. A menu item's record ends after its handler; every other record runs on
// with its place, relations, events and, after the reserved fields, its type-specific block
// up to the record's end.
namespace detail {

template <>
struct Layout<UnitRecord> {
    static void fields(auto& v, auto& r) {
        v.u32(r.type, "unit type");
        v.u32(r.event_link, "event link");
        v.reserved(kReservedAfterLink, "reserved fields");
        v.zstring(r.name, "unit name");
        v.zstring(r.comment, "unit comment");
        if (r.is_menu_item()) {
            v.fixed_bytes(r.menu_fields, kMenuFieldsSize, "menu fields");
            v.zstring(r.menu_text, "menu text");
            v.u32(r.menu_handler, "menu handler");
            return;
        }
        v.reserved(4, "live object slot");
        v.i32(r.left, "left");
        v.i32(r.top, "top");
        v.i32(r.width, "width");
        v.i32(r.height, "height");
        v.reserved(4, "cursor slot");
        v.u32(r.parent, "parent");
        v.list(r.children, 4, "child count", [](auto& item, auto& child) {
            item.u32(child, "child id");
        });
        v.counted_bytes(r.cursor, "cursor block");
        v.zstring(r.tag, "tag");
        v.reserved(4, "reserved field");
        v.u32(r.flags, "state flags");
        v.reserved(4, "reserved field");
        v.list(r.events, 8, "event count", [](auto& item, auto& binding) {
            item.i32(binding.event, "event number");
            item.u32(binding.handler, "event handler");
        });
        v.reserved(kReservedAfterEvents, "reserved fields");
        v.rest(r.type_block);
    }
};

}  // namespace detail

namespace {

std::string hex(std::uint32_t v) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", v);
    return buffer;
}

// One record's R bytes; `record` is bounded to them, so no field can run past the record.
UnitRecord read_record(ByteReader& in) {
    UnitRecord r;
    BlockReader reader(in, "unit record");
    Layout<UnitRecord>::fields(reader, r);
    if (in.failed()) {
        return r;
    }
    if (r.is_menu_item()) {
        if (!in.at_end()) {
            in.fail_here("trailing bytes after menu item record");
        }
        return r;
    }
    // The type-specific block is checked here, so that a loader never meets a damaged one.
    std::size_t block_at = in.absolute(in.position() - r.type_block.size());
    auto decoded = decode_type_block(r.type, r.type_block);
    if (auto* error = std::get_if<TemplateError>(&decoded)) {
        in.adopt(TemplateError{block_at + error->offset, error->what});
    }
    return r;
}

UnitStore read_store(ByteReader& in) {
    UnitStore store;
    std::size_t store_at = in.position();
    std::uint32_t count = in.u32("record count");
    std::size_t length_at = in.position();
    std::uint32_t length = in.u32("unit store length");
    if (in.failed()) {
        return store;
    }
    if (length > in.remaining()) {
        in.fail(length_at, "unit store length past the end");
        return store;
    }
    std::size_t area_at = in.position();
    auto area_bytes = in.bytes(length, "unit store");
    ByteReader area(area_bytes, in.absolute(area_at));
    if (count == 0) {
        in.fail(store_at, "unit store has no window record");
        return store;
    }
    if (!area.fits(count, 8)) {
        in.fail(store_at, "record count " + std::to_string(count) + " overruns the unit store");
        return store;
    }
    std::set<std::uint32_t> seen;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::size_t id_at = area.position();
        std::uint32_t id = area.u32("unit id");
        if (!seen.insert(id).second) {
            in.adopt({area.absolute(id_at), "duplicate unit id " + hex(id)});
            return store;
        }
        store.ids.push_back(id);
    }
    std::vector<std::uint32_t> offsets;
    std::size_t offsets_at = area.position();
    for (std::uint32_t i = 0; i < count; ++i) {
        offsets.push_back(area.u32("record offset"));
    }
    // Record offsets count from the first byte after the offset array.
    std::size_t records_at = area.position();
    auto records = area.rest();
    for (std::uint32_t i = 0; i < count; ++i) {
        std::size_t offset_at = area.absolute(offsets_at + 4 * std::size_t{i});
        std::size_t offset = offsets[i];
        if (records.size() < 4 || offset > records.size() - 4) {
            in.adopt({offset_at, "record offset past the unit store"});
            return store;
        }
        ByteReader head(records.subspan(offset, 4), area.absolute(records_at + offset));
        std::uint32_t record_length = head.u32("record length");
        if (record_length > records.size() - offset - 4) {
            in.adopt({head.absolute(0), "record length past the unit store"});
            return store;
        }
        ByteReader record(records.subspan(offset + 4, record_length), head.absolute(4));
        store.records.push_back(read_record(record));
        if (record.failed()) {
            in.adopt(record.error());
            return store;
        }
    }
    return store;
}

void write_record(ByteWriter& out, const UnitRecord& r) {
    BlockWriter writer(out);
    Layout<UnitRecord>::fields(writer, r);
}

void write_store(ByteWriter& out, const UnitStore& store) {
    assert(store.ids.size() == store.records.size());
    std::vector<std::vector<std::uint8_t>> records;
    for (const auto& record : store.records) {
        ByteWriter one;
        write_record(one, record);
        records.push_back(one.take());
    }
    ByteWriter area;
    for (std::uint32_t id : store.ids) {
        area.u32(id);
    }
    std::uint32_t offset = 0;
    for (const auto& record : records) {
        area.u32(offset);
        offset += static_cast<std::uint32_t>(4 + record.size());
    }
    for (const auto& record : records) {
        area.counted(record);
    }
    out.u32(static_cast<std::uint32_t>(store.records.size()));
    out.counted(area.take());
}

}  // namespace

std::variant<WindowTemplate, TemplateError> decode_template(std::span<const std::uint8_t> bytes) {
    ByteReader in(bytes);
    WindowTemplate result;
    std::uint32_t directory_length = in.u32("window directory length");
    if (in.failed()) {
        return in.error();
    }
    if (directory_length % 8 != 0) {
        return TemplateError{0, "window directory length " + std::to_string(directory_length) +
                                    " is not a multiple of 8"};
    }
    if (directory_length > in.remaining()) {
        return TemplateError{0, "window directory past the end"};
    }
    std::size_t window_count = directory_length / 8;
    std::set<std::uint32_t> seen;
    for (std::size_t i = 0; i < window_count; ++i) {
        std::size_t id_at = in.position();
        WindowBlock window;
        window.id = in.u32("window id");
        if (!seen.insert(window.id).second) {
            return TemplateError{id_at, "duplicate window id " + hex(window.id)};
        }
        result.windows.push_back(std::move(window));
    }
    in.skip(4 * window_count, "window slots");
    for (auto& window : result.windows) {
        window.attribute_a = in.u32("window attribute A");
        window.attribute_b = in.u32("window attribute B");
        window.text1 = in.counted_text("window text");
        window.text2 = in.counted_text("window text");
        window.store = read_store(in);
        if (in.failed()) {
            return in.error();
        }
    }
    if (!in.at_end()) {
        return TemplateError{in.position(), "trailing bytes after the last window"};
    }
    return result;
}

std::vector<std::uint8_t> encode_template(const WindowTemplate& window_template) {
    ByteWriter out;
    out.u32(static_cast<std::uint32_t>(8 * window_template.windows.size()));
    for (const auto& window : window_template.windows) {
        out.u32(window.id);
    }
    out.zeros(4 * window_template.windows.size());
    for (const auto& window : window_template.windows) {
        out.u32(window.attribute_a);
        out.u32(window.attribute_b);
        out.counted(window.text1);
        out.counted(window.text2);
        write_store(out, window.store);
    }
    return out.take();
}

}  // namespace wavlon::runtime
