// Font property values: a font crosses the property interface as a byte-set holding the
// 60-byte logical font (the layout of StoredFont); the default font is the empty byte-set.
#pragma once

#include <optional>

#include "runtime/template_blocks.h"
#include "runtime/value.h"

namespace wavlon::runtime {

// Font property sub-fields that write_unit_property can change one at a time.
namespace font_field {
constexpr int kAngle = 0;  // tenths of a degree, reduced modulo 3600
constexpr int kBold = 1;
constexpr int kItalic = 2;
constexpr int kUnderline = 3;
constexpr int kStrikeOut = 4;
constexpr int kSize = 5;  // character height in pixels
constexpr int kFace = 6;  // 1 to 31 bytes, else the default face
}  // namespace font_field

// The 60 bytes of `font`, or the empty byte-set for the default font.
Value font_value(const FontSetting& font);
// The font a byte-set holds; nullopt (the default font) for anything that is not 60 bytes.
FontSetting font_from_value(const Value& value);

// Changes one sub-field (font_field::kAngle ... kFace) of `font`; the default font is taken
// as the default face "宋体" at 12 pixels first. Unknown fields change nothing.
StoredFont with_font_field(const FontSetting& font, int field, const Value& value);

// The value of one sub-field, as with_font_field takes it.
Value font_field_value(const FontSetting& font, int field);

}  // namespace wavlon::runtime
