#include "runtime/template_blocks.h"

#include <cassert>
#include <string>

#include "runtime/template_io.h"

namespace wavlon::runtime {

using detail::ByteReader;
using detail::ByteWriter;

namespace {

std::string version_error(const char* block, std::uint32_t version) {
    return "unsupported " + std::string(block) + " block version " + std::to_string(version);
}

// Reads the version word and checks it against the one layout version this decoder knows.
bool expect_version(ByteReader& in, const char* block, std::uint32_t wanted,
                    std::uint32_t& version) {
    std::size_t at = in.position();
    version = in.u32("block version");
    if (in.failed()) {
        return false;
    }
    if (version != wanted) {
        in.fail(at, version_error(block, version));
        return false;
    }
    return true;
}

FontSetting read_font(ByteReader& in) {
    std::size_t at = in.position();
    std::uint32_t size = in.u32("font size");
    if (in.failed() || size == 0) {
        return std::nullopt;
    }
    if (size != kStoredFontSize) {
        in.fail(at, "font size " + std::to_string(size) + " is neither 0 nor 60");
        return std::nullopt;
    }
    if (!in.fits(1, kStoredFontSize)) {
        in.fail_here("font past the end");
        return std::nullopt;
    }
    StoredFont font;
    font.height = in.i32("font height");
    font.width = in.i32("font width");
    font.escapement = in.i32("font escapement");
    font.orientation = in.i32("font orientation");
    font.weight = in.i32("font weight");
    font.italic = in.u8("font italic");
    font.underline = in.u8("font underline");
    font.strike_out = in.u8("font strike-out");
    font.charset = in.u8("font charset");
    font.out_precision = in.u8("font precision");
    font.clip_precision = in.u8("font clip precision");
    font.quality = in.u8("font quality");
    font.pitch_and_family = in.u8("font pitch");
    std::size_t face_at = in.position();
    auto face = in.bytes(kFaceNameSize, "font face");
    std::size_t n = 0;
    while (n < face.size() && face[n] != 0) {
        ++n;
    }
    if (n == face.size()) {
        in.fail(face_at, "font face has no terminator");
        return std::nullopt;
    }
    font.face.assign(face.begin(), face.begin() + static_cast<std::ptrdiff_t>(n));
    return font;
}

void write_font(ByteWriter& out, const FontSetting& font) {
    if (!font) {
        out.u32(0);
        return;
    }
    assert(font->face.size() < kFaceNameSize && font->face.find('\0') == Text::npos);
    out.u32(kStoredFontSize);
    out.i32(font->height);
    out.i32(font->width);
    out.i32(font->escapement);
    out.i32(font->orientation);
    out.i32(font->weight);
    for (std::uint8_t b :
         {font->italic, font->underline, font->strike_out, font->charset, font->out_precision,
          font->clip_precision, font->quality, font->pitch_and_family}) {
        out.u8(b);
    }
    out.bytes(font->face);
    out.zeros(kFaceNameSize - font->face.size());
}

std::vector<ListViewColumn> read_columns(ByteReader& in) {
    std::vector<ListViewColumn> columns;
    std::size_t at = in.position();
    std::uint32_t length = in.u32("column data length");
    if (in.failed()) {
        return columns;
    }
    if (length > in.remaining()) {
        in.fail(at, "column data length past the end");
        return columns;
    }
    std::size_t data_at = in.position();
    auto data = in.bytes(length, "column data");
    ByteReader cols(data, in.absolute(data_at));
    while (!cols.failed() && !cols.at_end()) {
        ListViewColumn column;
        column.image_on_right = cols.u8("column flag");
        column.image = cols.i32("column image");
        std::size_t align_at = cols.position();
        std::uint32_t alignment = cols.u32("column alignment");
        if (!cols.failed() && alignment > 2) {
            cols.fail(align_at,
                      "column alignment " + std::to_string(alignment) + " is not 0, 1 or 2");
        }
        column.alignment = static_cast<ColumnAlignment>(alignment);
        column.width = cols.u32("column width");
        column.heading = cols.zstring("column heading");
        columns.push_back(std::move(column));
    }
    if (cols.failed()) {
        in.adopt(cols.error());
        return {};
    }
    return columns;
}

void write_columns(ByteWriter& out, const std::vector<ListViewColumn>& columns) {
    ByteWriter data;
    for (const auto& column : columns) {
        assert(column.heading.find('\0') == Text::npos);
        data.u8(column.image_on_right);
        data.i32(column.image);
        data.u32(static_cast<std::uint32_t>(column.alignment));
        data.u32(column.width);
        data.zstring(column.heading);
    }
    out.counted(data.take());
}

// Runs `read` over the whole block and insists that it consumes every byte.
template <class T, class F>
Decoded<T> decode_whole(std::span<const std::uint8_t> block, const char* name, F read) {
    ByteReader in(block);
    T value = read(in);
    if (!in.failed() && !in.at_end()) {
        in.fail_here(std::string("trailing bytes after ") + name + " block");
    }
    if (in.failed()) {
        return in.error();
    }
    return value;
}

}  // namespace

StoredFont make_font(const Text& face, int pixels, bool bold) {
    StoredFont font;
    font.height = -pixels;
    font.weight = bold ? kFontWeightBold : kFontWeightNormal;
    font.charset = kCharsetGb2312;
    font.face = face;
    return font;
}

Decoded<FontSetting> decode_font_block(std::span<const std::uint8_t> block) {
    return decode_whole<FontSetting>(block, "font", read_font);
}

Decoded<std::vector<ListViewColumn>> decode_column_block(std::span<const std::uint8_t> block) {
    return decode_whole<std::vector<ListViewColumn>>(block, "column", read_columns);
}

Decoded<WindowFormBlock> decode_window_block(std::span<const std::uint8_t> block) {
    return decode_whole<WindowFormBlock>(block, "window", [](ByteReader& in) {
        WindowFormBlock b;
        std::size_t at = in.position();
        b.version = in.u32("block version");
        if (!in.failed() && b.version > kMaxWindowBlockVersion) {
            in.fail(at, version_error("window", b.version));
        }
        b.border_style = in.u32("border style");
        b.field2 = in.u32("window field");
        b.background = in.u32("background colour");
        b.maximise_button = in.u32("maximise flag");
        b.minimise_button = in.u32("minimise flag");
        b.control_box = in.u32("control box flag");
        b.start_position = in.u32("start position");
        b.movable = in.u32("movable flag");
        for (auto& v : b.values) {
            v = in.u32("window value");
        }
        if (b.version >= 2) {
            b.v2_value = in.u32("window value");
        }
        if (b.version >= 3) {
            b.v3_values[0] = in.u32("window value");
            b.v3_values[1] = in.u32("window value");
        }
        if (b.version >= 4) {
            b.top_most = in.u32("top-most flag");
        }
        if (b.version >= 5) {
            b.v5_value = in.u32("window value");
        }
        if (b.version >= 6) {
            b.class_name = in.counted_text("class name");
        }
        b.picture = in.counted_bytes("background picture");
        b.icon = in.counted_bytes("icon");
        b.sound = in.counted_bytes("sound");
        b.caption = in.counted_text("caption");
        b.extra_text = in.counted_text("window text");
        return b;
    });
}

std::vector<std::uint8_t> encode_block(const WindowFormBlock& b) {
    assert(b.version <= kMaxWindowBlockVersion);
    ByteWriter out;
    for (std::uint32_t v : {b.version, b.border_style, b.field2, b.background, b.maximise_button,
                            b.minimise_button, b.control_box, b.start_position, b.movable}) {
        out.u32(v);
    }
    for (std::uint32_t v : b.values) {
        out.u32(v);
    }
    if (b.version >= 2) {
        out.u32(b.v2_value);
    }
    if (b.version >= 3) {
        out.u32(b.v3_values[0]);
        out.u32(b.v3_values[1]);
    }
    if (b.version >= 4) {
        out.u32(b.top_most);
    }
    if (b.version >= 5) {
        out.u32(b.v5_value);
    }
    if (b.version >= 6) {
        out.counted(b.class_name);
    }
    out.counted(b.picture);
    out.counted(b.icon);
    out.counted(b.sound);
    out.counted(b.caption);
    out.counted(b.extra_text);
    return out.take();
}

Decoded<TransLabelBlock> decode_trans_label_block(std::span<const std::uint8_t> block) {
    return decode_whole<TransLabelBlock>(block, "TransLabel", [](ByteReader& in) {
        TransLabelBlock b;
        if (!expect_version(in, "TransLabel", 1, b.version)) {
            return b;
        }
        b.property9 = in.u32("label property 9");
        b.text_colour = in.u32("text colour");
        b.property12 = in.u32("label property 12");
        b.property13 = in.u32("label property 13");
        b.property14 = in.u32("label property 14");
        b.font = read_font(in);
        b.caption = in.counted_text("caption");
        return b;
    });
}

std::vector<std::uint8_t> encode_block(const TransLabelBlock& b) {
    ByteWriter out;
    for (std::uint32_t v :
         {b.version, b.property9, b.text_colour, b.property12, b.property13, b.property14}) {
        out.u32(v);
    }
    write_font(out, b.font);
    out.counted(b.caption);
    return out.take();
}

Decoded<ButtonBlock> decode_button_block(std::span<const std::uint8_t> block) {
    return decode_whole<ButtonBlock>(block, "Button", [](ByteReader& in) {
        ButtonBlock b;
        if (!expect_version(in, "Button", 1, b.version)) {
            return b;
        }
        b.picture = in.counted_bytes("button picture");
        b.property9 = in.u32("button property 9");
        b.property11 = in.u32("button property 11");
        b.property12 = in.u32("button property 12");
        b.font = read_font(in);
        b.caption = in.counted_text("caption");
        return b;
    });
}

std::vector<std::uint8_t> encode_block(const ButtonBlock& b) {
    ByteWriter out;
    out.u32(b.version);
    out.counted(b.picture);
    out.u32(b.property9);
    out.u32(b.property11);
    out.u32(b.property12);
    write_font(out, b.font);
    out.counted(b.caption);
    return out.take();
}

Decoded<TimerBlock> decode_timer_block(std::span<const std::uint8_t> block) {
    return decode_whole<TimerBlock>(block, "Timer", [](ByteReader& in) {
        TimerBlock b;
        if (expect_version(in, "Timer", 1, b.version)) {
            b.interval_ms = in.u32("timer interval");
        }
        return b;
    });
}

std::vector<std::uint8_t> encode_block(const TimerBlock& b) {
    ByteWriter out;
    out.u32(b.version);
    out.u32(b.interval_ms);
    return out.take();
}

Decoded<SliderBarBlock> decode_slider_bar_block(std::span<const std::uint8_t> block) {
    return decode_whole<SliderBarBlock>(block, "SliderBar", [](ByteReader& in) {
        SliderBarBlock b;
        if (expect_version(in, "SliderBar", 1, b.version)) {
            for (auto& v : b.properties) {
                v = in.i32("slider property");
            }
        }
        return b;
    });
}

std::vector<std::uint8_t> encode_block(const SliderBarBlock& b) {
    ByteWriter out;
    out.u32(b.version);
    for (std::int32_t v : b.properties) {
        out.i32(v);
    }
    return out.take();
}

Decoded<EditBoxBlock> decode_edit_box_block(std::span<const std::uint8_t> block) {
    return decode_whole<EditBoxBlock>(block, "EditBox", [](ByteReader& in) {
        EditBoxBlock b;
        if (in.at_end() || !expect_version(in, "EditBox", 2, b.version)) {
            return b;
        }
        b.text_colour = in.u32("text colour");
        b.background = in.u32("background colour");
        b.font = read_font(in);
        b.content = in.counted_text("content");
        return b;
    });
}

std::vector<std::uint8_t> encode_block(const EditBoxBlock& b) {
    ByteWriter out;
    out.u32(b.version);
    out.u32(b.text_colour);
    out.u32(b.background);
    write_font(out, b.font);
    out.counted(b.content);
    return out.take();
}

Decoded<ListBoxBlock> decode_list_box_block(std::span<const std::uint8_t> block) {
    return decode_whole<ListBoxBlock>(block, "ListBox", [](ByteReader& in) {
        ListBoxBlock b;
        if (in.at_end() || !expect_version(in, "ListBox", 3, b.version)) {
            return b;
        }
        b.text_colour = in.u32("text colour");
        b.background = in.u32("background colour");
        b.font = read_font(in);
        return b;
    });
}

std::vector<std::uint8_t> encode_block(const ListBoxBlock& b) {
    ByteWriter out;
    out.u32(b.version);
    out.u32(b.text_colour);
    out.u32(b.background);
    write_font(out, b.font);
    return out.take();
}

Decoded<ListViewBlock> decode_list_view_block(std::span<const std::uint8_t> block) {
    return decode_whole<ListViewBlock>(block, "ListView", [](ByteReader& in) {
        ListViewBlock b;
        if (!expect_version(in, "ListView", 1, b.version)) {
            return b;
        }
        b.view_type = in.u32("view type");
        b.text_colour = in.u32("text colour");
        b.background = in.u32("background colour");
        b.font = read_font(in);
        b.columns = read_columns(in);
        return b;
    });
}

std::vector<std::uint8_t> encode_block(const ListViewBlock& b) {
    ByteWriter out;
    out.u32(b.version);
    out.u32(b.view_type);
    out.u32(b.text_colour);
    out.u32(b.background);
    write_font(out, b.font);
    write_columns(out, b.columns);
    return out.take();
}

std::vector<std::uint8_t> encode_block(const OpaqueBlock& b) {
    return b.bytes;
}

std::vector<std::uint8_t> encode_font_block(const FontSetting& font) {
    ByteWriter out;
    write_font(out, font);
    return out.take();
}

std::vector<std::uint8_t> encode_column_block(const std::vector<ListViewColumn>& columns) {
    ByteWriter out;
    write_columns(out, columns);
    return out.take();
}

namespace {
template <class T>
Decoded<TypeBlock> widen(Decoded<T> decoded) {
    if (auto* error = std::get_if<TemplateError>(&decoded)) {
        return *error;
    }
    return TypeBlock{std::get<T>(std::move(decoded))};
}
}  // namespace

Decoded<TypeBlock> decode_type_block(std::uint32_t unit_type, std::span<const std::uint8_t> block) {
    switch (unit_type) {
        case unit_types::kWindow:
            return widen(decode_window_block(block));
        case unit_types::kTransLabel:
            return widen(decode_trans_label_block(block));
        case unit_types::kButton:
            return widen(decode_button_block(block));
        case unit_types::kTimer:
            return widen(decode_timer_block(block));
        case unit_types::kSliderBar:
            return widen(decode_slider_bar_block(block));
        case unit_types::kEditBox:
            return widen(decode_edit_box_block(block));
        case unit_types::kListBox:
            return widen(decode_list_box_block(block));
        case unit_types::kListView:
            return widen(decode_list_view_block(block));
        default:
            return TypeBlock{OpaqueBlock{{block.begin(), block.end()}}};
    }
}

std::vector<std::uint8_t> encode_type_block(const TypeBlock& block) {
    return std::visit([](const auto& b) { return encode_block(b); }, block);
}

}  // namespace wavlon::runtime
