#include "runtime/template_format.h"

#include <cassert>
#include <cstdio>
#include <set>
#include <string>

#include "runtime/template_blocks.h"
#include "runtime/template_io.h"

namespace wavlon::runtime {

using detail::ByteReader;
using detail::ByteWriter;

namespace {

constexpr std::size_t kReservedAfterLink = 16;
constexpr std::size_t kReservedAfterEvents = 20;
constexpr std::size_t kMenuFieldsSize = 12;

std::string hex(std::uint32_t v) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", v);
    return buffer;
}

// One record's R bytes; `record` is bounded to them, so no field can run past the record.
UnitRecord read_record(ByteReader& in) {
    UnitRecord r;
    r.type = in.u32("unit type");
    r.event_link = in.u32("event link");
    in.skip(kReservedAfterLink, "reserved fields");
    r.name = in.zstring("unit name");
    r.comment = in.zstring("unit comment");
    if (r.is_menu_item()) {
        r.menu_fields = in.bytes(kMenuFieldsSize, "menu fields");
        r.menu_text = in.zstring("menu text");
        r.menu_handler = in.u32("menu handler");
        if (!in.failed() && !in.at_end()) {
            in.fail_here("trailing bytes after menu item record");
        }
        return r;
    }
    in.skip(4, "live object slot");
    r.left = in.i32("left");
    r.top = in.i32("top");
    r.width = in.i32("width");
    r.height = in.i32("height");
    in.skip(4, "cursor slot");
    r.parent = in.u32("parent");
    std::size_t count_at = in.position();
    std::uint32_t child_count = in.u32("child count");
    if (!in.failed() && !in.fits(child_count, 4)) {
        in.fail(count_at, "child count " + std::to_string(child_count) + " overruns the record");
    }
    for (std::uint32_t i = 0; i < child_count && !in.failed(); ++i) {
        r.children.push_back(in.u32("child id"));
    }
    r.cursor = in.counted_bytes("cursor block");
    r.tag = in.zstring("tag");
    in.skip(4, "reserved field");
    r.flags = in.u32("state flags");
    in.skip(4, "reserved field");
    count_at = in.position();
    std::uint32_t event_count = in.u32("event count");
    if (!in.failed() && !in.fits(event_count, 8)) {
        in.fail(count_at, "event count " + std::to_string(event_count) + " overruns the record");
    }
    for (std::uint32_t i = 0; i < event_count && !in.failed(); ++i) {
        EventBinding binding;
        binding.event = in.i32("event number");
        binding.handler = in.u32("event handler");
        r.events.push_back(binding);
    }
    in.skip(kReservedAfterEvents, "reserved fields");
    if (in.failed()) {
        return r;
    }
    // The type-specific block is checked here, so that a loader never meets a damaged one.
    std::size_t block_at = in.absolute(in.position());
    auto block = in.rest();
    r.type_block.assign(block.begin(), block.end());
    auto decoded = decode_type_block(r.type, block);
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
    assert(r.name.find('\0') == Text::npos && r.comment.find('\0') == Text::npos);
    out.u32(r.type);
    out.u32(r.event_link);
    out.zeros(kReservedAfterLink);
    out.zstring(r.name);
    out.zstring(r.comment);
    if (r.is_menu_item()) {
        std::vector<std::uint8_t> fields = r.menu_fields;
        fields.resize(kMenuFieldsSize, 0);
        out.bytes(fields);
        out.zstring(r.menu_text);
        out.u32(r.menu_handler);
        return;
    }
    out.zeros(4);
    out.i32(r.left);
    out.i32(r.top);
    out.i32(r.width);
    out.i32(r.height);
    out.zeros(4);
    out.u32(r.parent);
    out.u32(static_cast<std::uint32_t>(r.children.size()));
    for (std::uint32_t child : r.children) {
        out.u32(child);
    }
    out.counted(r.cursor);
    out.zstring(r.tag);
    out.zeros(4);
    out.u32(r.flags);
    out.zeros(4);
    out.u32(static_cast<std::uint32_t>(r.events.size()));
    for (const auto& binding : r.events) {
        out.i32(binding.event);
        out.u32(binding.handler);
    }
    out.zeros(kReservedAfterEvents);
    out.bytes(r.type_block);
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
