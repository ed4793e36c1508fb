// Type-specific blocks of unit records: the stored settings each unit type is created from.
//
// Every block starts with a u32 layout version; integers are little-endian u32 unless noted,
// a counted text is a u32 length and that many GB18030 bytes, colours are 0x00BBGGRR.
// A font block is a u32 size S: 0 means the default font and nothing follows, 60 means a
// 60-byte logical font follows (see StoredFont).
//
// Layouts:
//   Window (<= 6)   version, border style, u32, background colour, five flags (maximise,
//                   minimise, control box, start position, movable), five u32; from 2 one
//                   u32; from 3 two u32; from 4 top-most; from 5 one u32; from 6 a counted
//                   class name; then picture, icon and sound (counted bytes), caption
//                   (counted text) and one more counted text.
//   TransLabel (1)  version, property 9, text colour, properties 12, 13, 14, font, caption.
//   Button (1)      version, picture (counted bytes), properties 9, 11, 12, font, caption.
//   Timer (1)       version, interval in ms.
//   SliderBar (1)   version, properties 8..19 (u32 each).
//   EditBox (2)     version, text colour, background colour, font, content (counted text).
//   ListBox (3)     version, text colour, background colour, font.
//   ListView (1)    version, view type, text colour, background colour, font, column block:
//                   u32 byte length of the column data, then per column u8 flag, i32 image,
//                   u32 alignment, u32 width, zero-terminated heading.
//   MediaPlay, SysVolume: no settings (empty block, or a version word that is ignored).
// An empty EditBox or ListBox block (length 0) means all defaults.
//
// Decoders never read outside the block they are given; a short block, a size that does not
// fit, a version they do not know or bytes left over give a TemplateError whose offset is
// counted from the start of the block.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <variant>
#include <vector>

#include "runtime/template_error.h"
#include "runtime/text.h"

namespace wavlon::runtime {

// Unit type ids: (library number << 16) | type number.
namespace unit_types {
constexpr std::uint32_t kWindow = 0x00010001;
constexpr std::uint32_t kEditBox = 0x00010005;
constexpr std::uint32_t kButton = 0x0001000B;
constexpr std::uint32_t kListBox = 0x0001000F;
constexpr std::uint32_t kSliderBar = 0x00010014;
constexpr std::uint32_t kTimer = 0x00010020;
constexpr std::uint32_t kSysVolume = 0x00040001;
constexpr std::uint32_t kMediaPlay = 0x00040006;
constexpr std::uint32_t kListView = 0x00050004;
constexpr std::uint32_t kTransLabel = 0x00050005;
}  // namespace unit_types

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

// Types that store no settings (MediaPlay, SysVolume) and types this file does not know.
struct OpaqueBlock {
    std::vector<std::uint8_t> bytes;
    friend bool operator==(const OpaqueBlock&, const OpaqueBlock&) = default;
};

template <class T>
using Decoded = std::variant<T, TemplateError>;

Decoded<FontSetting> decode_font_block(std::span<const std::uint8_t> block);
Decoded<WindowFormBlock> decode_window_block(std::span<const std::uint8_t> block);
Decoded<TransLabelBlock> decode_trans_label_block(std::span<const std::uint8_t> block);
Decoded<ButtonBlock> decode_button_block(std::span<const std::uint8_t> block);
Decoded<TimerBlock> decode_timer_block(std::span<const std::uint8_t> block);
Decoded<SliderBarBlock> decode_slider_bar_block(std::span<const std::uint8_t> block);
Decoded<EditBoxBlock> decode_edit_box_block(std::span<const std::uint8_t> block);
Decoded<ListBoxBlock> decode_list_box_block(std::span<const std::uint8_t> block);
Decoded<ListViewBlock> decode_list_view_block(std::span<const std::uint8_t> block);
// The column block alone (u32 length, then the columns).
Decoded<std::vector<ListViewColumn>> decode_column_block(std::span<const std::uint8_t> block);

// Writers. A font face longer than 31 bytes is a programmer mistake (asserted).
std::vector<std::uint8_t> encode_font_block(const FontSetting& font);
std::vector<std::uint8_t> encode_block(const WindowFormBlock& block);
std::vector<std::uint8_t> encode_block(const TransLabelBlock& block);
std::vector<std::uint8_t> encode_block(const ButtonBlock& block);
std::vector<std::uint8_t> encode_block(const TimerBlock& block);
std::vector<std::uint8_t> encode_block(const SliderBarBlock& block);
std::vector<std::uint8_t> encode_block(const EditBoxBlock& block);
std::vector<std::uint8_t> encode_block(const ListBoxBlock& block);
std::vector<std::uint8_t> encode_block(const ListViewBlock& block);
std::vector<std::uint8_t> encode_block(const OpaqueBlock& block);
std::vector<std::uint8_t> encode_column_block(const std::vector<ListViewColumn>& columns);

// Any block, chosen by the record's unit type.
using TypeBlock =
    std::variant<OpaqueBlock, WindowFormBlock, TransLabelBlock, ButtonBlock, TimerBlock,
                 SliderBarBlock, EditBoxBlock, ListBoxBlock, ListViewBlock>;
Decoded<TypeBlock> decode_type_block(std::uint32_t unit_type, std::span<const std::uint8_t> block);
std::vector<std::uint8_t> encode_type_block(const TypeBlock& block);

}  // namespace wavlon::runtime
