#include "runtime/font_value.h"

#include <algorithm>

#include "runtime/conversions.h"

namespace wavlon::runtime {
namespace {

constexpr int kDefaultPixels = 12;
constexpr std::int32_t kMaxPixelHeight = 32767;
constexpr std::size_t kMaxFaceBytes = kFaceNameSize - 1;

StoredFont or_default(const FontSetting& font) {
    return font ? *font : make_font("宋体"_gb, kDefaultPixels, false);
}

}  // namespace

Value font_value(const FontSetting& font) {
    if (!font) {
        return Value::byte_set({});
    }
    std::vector<std::uint8_t> block = encode_font_block(font);
    return Value::byte_set(ByteSet(block.data() + 4, block.size() - 4));  // without its size
}

FontSetting font_from_value(const Value& value) {
    const ByteSet* bytes = value.get<ByteSet>();
    if (!bytes || bytes->size() != kStoredFontSize) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> block = {static_cast<std::uint8_t>(kStoredFontSize), 0, 0, 0};
    block.insert(block.end(), bytes->bytes().begin(), bytes->bytes().end());
    auto decoded = decode_font_block(block);
    auto* font = std::get_if<FontSetting>(&decoded);
    return font ? *font : std::nullopt;
}

StoredFont with_font_field(const FontSetting& current, int field, const Value& value) {
    StoredFont font = or_default(current);
    std::int32_t number = to_integer(value);
    switch (field) {
        case font_field::kAngle:
            font.escapement = font.orientation = (number % 3600 + 3600) % 3600;
            break;
        case font_field::kBold:
            font.weight = number != 0 ? kFontWeightBold : kFontWeightNormal;
            break;
        case font_field::kItalic:
            font.italic = number != 0;
            break;
        case font_field::kUnderline:
            font.underline = number != 0;
            break;
        case font_field::kStrikeOut:
            font.strike_out = number != 0;
            break;
        case font_field::kSize:
            font.height = number > 0 ? -std::min(number, kMaxPixelHeight) : 0;
            break;
        case font_field::kFace: {
            Text face = value.get<Text>() ? *value.get<Text>() : Text{};
            font.face = face.empty() || face.size() > kMaxFaceBytes ? "宋体"_gb : face;
            break;
        }
        default:
            break;
    }
    return font;
}

Value font_field_value(const FontSetting& current, int field) {
    StoredFont font = or_default(current);
    switch (field) {
        case font_field::kAngle:
            return Value::integer(font.escapement);
        case font_field::kBold:
            return Value::logical(font.bold());
        case font_field::kItalic:
            return Value::logical(font.italic != 0);
        case font_field::kUnderline:
            return Value::logical(font.underline != 0);
        case font_field::kStrikeOut:
            return Value::logical(font.strike_out != 0);
        case font_field::kSize:
            return Value::integer(font.pixel_size());
        case font_field::kFace:
            return Value::text(font.face);
        default:
            return {};
    }
}

}  // namespace wavlon::runtime
