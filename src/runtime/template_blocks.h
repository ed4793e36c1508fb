// Type-specific blocks of unit records: the stored settings each unit type is created from.
// Which type stores which block is the table in runtime/unit_types.h; each block's stored
// form is its Layout in template_blocks.cpp (the wire forms are template_layout.h's).
//
// Decoders never read outside the block they are given; a short block, a size that does not
// fit, a version they do not know or bytes left over give a TemplateError whose offset is
// counted from the start of the block.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <type_traits>
#include <variant>
#include <vector>

#include "runtime/template_error.h"
#include "runtime/text.h"
#include "runtime/unit_types.h"

namespace wavlon::runtime {

// Colour values are 0x00BBGGRR.
constexpr std::uint32_t colour_rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return std::uint32_t{r} | (std::uint32_t{g} << 8) | (std::uint32_t{b} << 16);
}
// The platform's own colour for the role (button face for windows, window background for
// edit and list boxes): the unit keeps its default palette.
constexpr std::uint32_t kSystemColour = 0xFF000000;
constexpr std::uint32_t kBlack = 0x00000000;

constexpr std::int32_t kFontWeightNormal = 400;
constexpr std::int32_t kFontWeightBold = 700;
constexpr std::uint8_t kCharsetGb2312 = 134;
constexpr std::size_t kStoredFontSize = 60;
constexpr std::size_t kFaceNameSize = 32;  // including the terminator

// The 60-byte logical font. `face` is at most 31 bytes of GB18030 without the terminator.
struct StoredFont {
    std::int32_t height = 0;  // negative: character height in pixels
    std::int32_t width = 0;
    std::int32_t escapement = 0;  // tenths of a degree
    std::int32_t orientation = 0;
    std::int32_t weight = kFontWeightNormal;
    std::uint8_t italic = 0;
    std::uint8_t underline = 0;
    std::uint8_t strike_out = 0;
    std::uint8_t charset = kCharsetGb2312;
    std::uint8_t out_precision = 0;
    std::uint8_t clip_precision = 0;
    std::uint8_t quality = 0;
    std::uint8_t pitch_and_family = 0;
    Text face;

    // Character height in pixels (the magnitude of `height`).
    int pixel_size() const { return height < 0 ? -height : height; }
    bool bold() const { return weight >= kFontWeightBold; }
    friend bool operator==(const StoredFont&, const StoredFont&) = default;
};
// nullopt: the runtime's default font.
using FontSetting = std::optional<StoredFont>;

// A GB2312-charset font of `face` (GB18030) at `pixels` character height, weight 700 when
// bold, 400 otherwise.
StoredFont make_font(const Text& face, int pixels, bool bold);

struct WindowFormBlock {
    std::uint32_t version = 6;
    std::uint32_t border_style = 2;  // 0 none, 1 resizable, 2 fixed, 3/4 tool, 5/6 sunken
    std::uint32_t field2 = 1;
    std::uint32_t background = kSystemColour;
    std::uint32_t maximise_button = 0;
    std::uint32_t minimise_button = 1;
    std::uint32_t control_box = 1;
    std::uint32_t start_position = 1;  // 0 stored place, 1 centred, 2 minimised, 3 maximised
    std::uint32_t movable = 1;
    std::array<std::uint32_t, 5> values{0, 0, 1, 0, 0};
    std::uint32_t v2_value = 1;                    // version 2 and later
    std::array<std::uint32_t, 2> v3_values{0, 0};  // version 3 and later
    std::uint32_t top_most = 0;                    // version 4 and later
    std::uint32_t v5_value = 0;                    // version 5 and later
    Text class_name;                               // version 6; empty = the default class
    std::vector<std::uint8_t> picture;
    std::vector<std::uint8_t> icon;
    std::vector<std::uint8_t> sound;
    Text caption;
    Text extra_text;
    friend bool operator==(const WindowFormBlock&, const WindowFormBlock&) = default;
};
constexpr std::uint32_t kMaxWindowBlockVersion = 6;

struct TransLabelBlock {
    std::uint32_t version = 1;
    std::uint32_t property9 = 0;  // 0..3, stored for the unit; the program does not use it
    std::uint32_t text_colour = kBlack;
    std::uint32_t property12 = 0;  // 0..2
    std::uint32_t property13 = 0;  // logical
    std::uint32_t property14 = 0;  // 0..2
    FontSetting font;
    Text caption;
    friend bool operator==(const TransLabelBlock&, const TransLabelBlock&) = default;
};

struct ButtonBlock {
    std::uint32_t version = 1;
    std::vector<std::uint8_t> picture;
    std::uint32_t property9 = 0;
    std::uint32_t property11 = 0;
    std::uint32_t property12 = 0;
    FontSetting font;
    Text caption;
    friend bool operator==(const ButtonBlock&, const ButtonBlock&) = default;
};

struct TimerBlock {
    std::uint32_t version = 1;
    std::uint32_t interval_ms = 0;  // 0: does not tick
    friend bool operator==(const TimerBlock&, const TimerBlock&) = default;
};

struct SliderBarBlock {
    std::uint32_t version = 1;
    std::array<std::int32_t, 12> properties{};  // properties 8..19; index = property - 8

    std::int32_t minimum() const { return properties[17 - 8]; }
    std::int32_t maximum() const { return properties[18 - 8]; }
    std::int32_t position() const { return properties[19 - 8]; }
    void set_range(std::int32_t min, std::int32_t max, std::int32_t pos) {
        properties[17 - 8] = min;
        properties[18 - 8] = max;
        properties[19 - 8] = pos;
    }
    friend bool operator==(const SliderBarBlock&, const SliderBarBlock&) = default;
};

struct EditBoxBlock {
    std::uint32_t version = 2;
    std::uint32_t text_colour = kBlack;
    std::uint32_t background = kSystemColour;
    FontSetting font;
    Text content;
    friend bool operator==(const EditBoxBlock&, const EditBoxBlock&) = default;
};

struct ListBoxBlock {
    std::uint32_t version = 3;
    std::uint32_t text_colour = kBlack;
    std::uint32_t background = kSystemColour;
    FontSetting font;
    friend bool operator==(const ListBoxBlock&, const ListBoxBlock&) = default;
};

enum class ColumnAlignment : std::uint32_t { kLeft = 0, kCentre = 1, kRight = 2 };

struct ListViewColumn {
    std::uint8_t image_on_right = 0;  // nonzero: the heading image is drawn right of the text
    std::int32_t image = -1;          // heading image index, -1 none
    ColumnAlignment alignment = ColumnAlignment::kLeft;
    std::uint32_t width = 0;  // pixels; 0 hides the column until the user widens it
    Text heading;
    friend bool operator==(const ListViewColumn&, const ListViewColumn&) = default;
};

constexpr std::uint32_t kListViewReport = 3;

struct ListViewBlock {
    std::uint32_t version = 1;
    std::uint32_t view_type = kListViewReport;  // 0 icon, 1 small icon, 2 list, 3 report
    std::uint32_t text_colour = kBlack;
    std::uint32_t background = kSystemColour;
    FontSetting font;
    std::vector<ListViewColumn> columns;  // in display order; applied in report view only
    friend bool operator==(const ListViewBlock&, const ListViewBlock&) = default;
};

// The bytes of a type that stores no settings, or of a type the table does not know.
struct OpaqueBlock {
    std::vector<std::uint8_t> bytes;
    friend bool operator==(const OpaqueBlock&, const OpaqueBlock&) = default;
};

template <class T>
using Decoded = std::variant<T, TemplateError>;

Decoded<FontSetting> decode_font_block(std::span<const std::uint8_t> block);
// The column block alone (u32 length, then the columns).
Decoded<std::vector<ListViewColumn>> decode_column_block(std::span<const std::uint8_t> block);
// Writers. A font face longer than 31 bytes is a programmer mistake (asserted).
std::vector<std::uint8_t> encode_font_block(const FontSetting& font);
std::vector<std::uint8_t> encode_column_block(const std::vector<ListViewColumn>& columns);

namespace detail {

// The variant of the distinct types among Ts, in the order they first appear.
template <class Variant, class... Ts>
struct DistinctVariant {
    using type = Variant;
};
template <class... Kept, class T, class... Rest>
struct DistinctVariant<std::variant<Kept...>, T, Rest...>
    : DistinctVariant<std::conditional_t<(std::is_same_v<T, Kept> || ...), std::variant<Kept...>,
                                         std::variant<Kept..., T>>,
                      Rest...> {};

template <class T, class Variant>
inline constexpr bool kIsAlternative = false;
template <class T, class... Ts>
inline constexpr bool kIsAlternative<T, std::variant<Ts...>> = (std::is_same_v<T, Ts> || ...);

template <class Variant>
struct PointerVariant;
template <class... Ts>
struct PointerVariant<std::variant<Ts...>> {
    using type = std::variant<const Ts*...>;
};

}  // namespace detail

// Any block, chosen by the record's unit type. OpaqueBlock, the default, stands for types
// that store no settings and for types the table does not know.
#define WAVLON_UNIT_BLOCK(name, id, Block) , Block
using TypeBlock =
    detail::DistinctVariant<std::variant<OpaqueBlock> WAVLON_UNIT_TYPES(WAVLON_UNIT_BLOCK)>::type;
#undef WAVLON_UNIT_BLOCK

Decoded<TypeBlock> decode_type_block(std::uint32_t unit_type, std::span<const std::uint8_t> block);
std::vector<std::uint8_t> encode_type_block(const TypeBlock& block);
// The settings a unit of `unit_type` is created with when its record stores none.
TypeBlock default_type_block(std::uint32_t unit_type);

// The block of each unit type of the table; a type outside it has none.
template <std::uint32_t UnitType>
struct UnitBlock;
#define WAVLON_UNIT_BLOCK(name, id, Block) \
    template <>                            \
    struct UnitBlock<id> {                 \
        using type = Block;                \
    };
WAVLON_UNIT_TYPES(WAVLON_UNIT_BLOCK)
#undef WAVLON_UNIT_BLOCK
template <std::uint32_t UnitType>
using UnitBlockOf = typename UnitBlock<UnitType>::type;

// One unit type's block.
template <std::uint32_t UnitType>
Decoded<UnitBlockOf<UnitType>> decode_block(std::span<const std::uint8_t> block) {
    auto decoded = decode_type_block(UnitType, block);
    if (auto* error = std::get_if<TemplateError>(&decoded)) {
        return *error;
    }
    return std::get<UnitBlockOf<UnitType>>(std::get<TypeBlock>(std::move(decoded)));
}

namespace detail {
std::vector<std::uint8_t> encode_block_at(const PointerVariant<TypeBlock>::type& block);
}  // namespace detail

// A block of one of the table's types.
template <class Block>
concept UnitTypeBlock = detail::kIsAlternative<Block, TypeBlock>;

// One block, written as its layout stores it.
template <UnitTypeBlock Block>
std::vector<std::uint8_t> encode_block(const Block& block) {
    return detail::encode_block_at(&block);
}

}  // namespace wavlon::runtime
