#include "runtime/template_blocks.h"

#include <cassert>
#include <string>
#include <type_traits>

#include "runtime/template_io.h"
#include "runtime/template_layout.h"

namespace wavlon::runtime {

using detail::BlockReader;
using detail::BlockWriter;
using detail::ByteReader;
using detail::ByteWriter;
using detail::Layout;

// The blocks' layouts (see runtime/template_layout.h).
namespace detail {

template <>
struct Layout<StoredFont> {
    static constexpr std::size_t kStoredSize = kStoredFontSize;
    static void fields(auto& v, auto& f) {
        v.i32(f.height, "font height");
        v.i32(f.width, "font width");
        v.i32(f.escapement, "font escapement");
        v.i32(f.orientation, "font orientation");
        v.i32(f.weight, "font weight");
        v.u8(f.italic, "font italic");
        v.u8(f.underline, "font underline");
        v.u8(f.strike_out, "font strike-out");
        v.u8(f.charset, "font charset");
        v.u8(f.out_precision, "font precision");
        v.u8(f.clip_precision, "font clip precision");
        v.u8(f.quality, "font quality");
        v.u8(f.pitch_and_family, "font pitch");
        v.fixed_text(f.face, kFaceNameSize, "font face");
    }
};

template <>
struct Layout<ListViewColumn> {
    static void fields(auto& v, auto& c) {
        v.u8(c.image_on_right, "column flag");
        v.i32(c.image, "column image");
        v.alignment(c.alignment, "column alignment");
        v.u32(c.width, "column width");
        v.zstring(c.heading, "column heading");
    }
};

template <>
struct Layout<FontSetting> {
    static constexpr const char* kName = "font";
    static void fields(auto& v, auto& font) { v.font(font); }
};

template <>
struct Layout<std::vector<ListViewColumn>> {
    static constexpr const char* kName = "column";
    static void fields(auto& v, auto& columns) { v.columns(columns); }
};

template <>
struct Layout<WindowFormBlock> {
    static constexpr const char* kName = "window";
    static void fields(auto& v, auto& b) {
        // Older versions stop short of the later fields, which then keep their defaults.
        v.version_up_to(b.version, kMaxWindowBlockVersion);
        v.u32(b.border_style, "border style");
        v.u32(b.field2, "window field");
        v.u32(b.background, "background colour");
        v.u32(b.maximise_button, "maximise flag");
        v.u32(b.minimise_button, "minimise flag");
        v.u32(b.control_box, "control box flag");
        v.u32(b.start_position, "start position");
        v.u32(b.movable, "movable flag");
        for (auto& value : b.values) {
            v.u32(value, "window value");
        }
        if (b.version >= 2) {
            v.u32(b.v2_value, "window value");
        }
        if (b.version >= 3) {
            v.u32(b.v3_values[0], "window value");
            v.u32(b.v3_values[1], "window value");
        }
        if (b.version >= 4) {
            v.u32(b.top_most, "top-most flag");
        }
        if (b.version >= 5) {
            v.u32(b.v5_value, "window value");
        }
        if (b.version >= 6) {
            v.counted_text(b.class_name, "class name");
        }
        v.counted_bytes(b.picture, "background picture");
        v.counted_bytes(b.icon, "icon");
        v.counted_bytes(b.sound, "sound");
        v.counted_text(b.caption, "caption");
        v.counted_text(b.extra_text, "window text");
    }
};

template <>
struct Layout<TransLabelBlock> {
    static constexpr const char* kName = "TransLabel";
    static void fields(auto& v, auto& b) {
        v.version(b.version, 1);
        v.u32(b.property9, "label property 9");
        v.u32(b.text_colour, "text colour");
        v.u32(b.property12, "label property 12");
        v.u32(b.property13, "label property 13");
        v.u32(b.property14, "label property 14");
        v.font(b.font);
        v.counted_text(b.caption, "caption");
    }
};

template <>
struct Layout<ButtonBlock> {
    static constexpr const char* kName = "Button";
    static void fields(auto& v, auto& b) {
        v.version(b.version, 1);
        v.counted_bytes(b.picture, "button picture");
        v.u32(b.property9, "button property 9");
        v.u32(b.property11, "button property 11");
        v.u32(b.property12, "button property 12");
        v.font(b.font);
        v.counted_text(b.caption, "caption");
    }
};

template <>
struct Layout<TimerBlock> {
    static constexpr const char* kName = "Timer";
    static void fields(auto& v, auto& b) {
        v.version(b.version, 1);
        v.u32(b.interval_ms, "timer interval");
    }
};

template <>
struct Layout<SliderBarBlock> {
    static constexpr const char* kName = "SliderBar";
    static void fields(auto& v, auto& b) {
        v.version(b.version, 1);
        for (auto& property : b.properties) {
            v.i32(property, "slider property");
        }
    }
};

template <>
struct Layout<EditBoxBlock> {
    static constexpr const char* kName = "EditBox";
    static void fields(auto& v, auto& b) {
        if (v.empty_block()) {
            return;  // all defaults
        }
        v.version(b.version, 2);
        v.u32(b.text_colour, "text colour");
        v.u32(b.background, "background colour");
        v.font(b.font);
        v.counted_text(b.content, "content");
    }
};

template <>
struct Layout<ListBoxBlock> {
    static constexpr const char* kName = "ListBox";
    static void fields(auto& v, auto& b) {
        if (v.empty_block()) {
            return;  // all defaults
        }
        v.version(b.version, 3);
        v.u32(b.text_colour, "text colour");
        v.u32(b.background, "background colour");
        v.font(b.font);
    }
};

template <>
struct Layout<ListViewBlock> {
    static constexpr const char* kName = "ListView";
    static void fields(auto& v, auto& b) {
        v.version(b.version, 1);
        v.u32(b.view_type, "view type");
        v.u32(b.text_colour, "text colour");
        v.u32(b.background, "background colour");
        v.font(b.font);
        v.columns(b.columns);
    }
};

}  // namespace detail

namespace {

// Decodes a whole block by its layout and insists that every byte is consumed.
template <class T>
Decoded<T> decode(std::span<const std::uint8_t> block) {
    ByteReader in(block);
    BlockReader reader(in, Layout<T>::kName);
    T value;
    Layout<T>::fields(reader, value);
    if (!in.failed() && !in.at_end()) {
        in.fail_here(std::string("trailing bytes after ") + Layout<T>::kName + " block");
    }
    if (in.failed()) {
        return in.error();
    }
    return value;
}

template <class T>
std::vector<std::uint8_t> encode(const T& value) {
    ByteWriter out;
    BlockWriter writer(out);
    Layout<T>::fields(writer, value);
    return out.take();
}

// OpaqueBlock has no layout: it is the bytes as the record stores them.
template <class Block>
Decoded<TypeBlock> decode_as(std::span<const std::uint8_t> block) {
    if constexpr (std::is_same_v<Block, OpaqueBlock>) {
        return TypeBlock{OpaqueBlock{{block.begin(), block.end()}}};
    } else {
        auto decoded = decode<Block>(block);
        if (auto* error = std::get_if<TemplateError>(&decoded)) {
            return *error;
        }
        return TypeBlock{std::get<Block>(std::move(decoded))};
    }
}

template <class Block>
std::vector<std::uint8_t> encode_any(const Block& block) {
    if constexpr (std::is_same_v<Block, OpaqueBlock>) {
        return block.bytes;
    } else {
        return encode(block);
    }
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
    return decode<FontSetting>(block);
}
Decoded<std::vector<ListViewColumn>> decode_column_block(std::span<const std::uint8_t> block) {
    return decode<std::vector<ListViewColumn>>(block);
}
std::vector<std::uint8_t> encode_font_block(const FontSetting& font) {
    return encode(font);
}
std::vector<std::uint8_t> encode_column_block(const std::vector<ListViewColumn>& columns) {
    return encode(columns);
}

Decoded<TypeBlock> decode_type_block(std::uint32_t unit_type, std::span<const std::uint8_t> block) {
    switch (unit_type) {
#define WAVLON_DECODE_CASE(name, id, Block) \
    case id:                                \
        return decode_as<Block>(block);
        WAVLON_UNIT_TYPES(WAVLON_DECODE_CASE)
#undef WAVLON_DECODE_CASE
        default:
            return decode_as<OpaqueBlock>(block);
    }
}

TypeBlock default_type_block(std::uint32_t unit_type) {
    switch (unit_type) {
#define WAVLON_DEFAULT_CASE(name, id, Block) \
    case id:                                 \
        return Block{};
        WAVLON_UNIT_TYPES(WAVLON_DEFAULT_CASE)
#undef WAVLON_DEFAULT_CASE
        default:
            return OpaqueBlock{};
    }
}

std::vector<std::uint8_t> encode_type_block(const TypeBlock& block) {
    return std::visit([](const auto& b) { return encode_any(b); }, block);
}

std::vector<std::uint8_t> detail::encode_block_at(const PointerVariant<TypeBlock>::type& block) {
    return std::visit([](const auto* b) { return encode_any(*b); }, block);
}

}  // namespace wavlon::runtime
