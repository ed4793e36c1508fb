// The skin engine: gives every window of the program a look described by a skin.
//
// A skin is a block of bytes in the engine's own format:
//   ".SHE" magic, then UTF-8 text lines:
//     "version 1"
//     "name <text>"
//     "color <role> #rrggbb"       palette colours, roles: window, window-text, base,
//                                  alternate-base, text, button, button-text, highlight,
//                                  highlighted-text, accent, border, disabled-text
//     "font <family> <pixels>"     the default font (optional)
//     "style" ... "end"            a Qt style sheet; "@role" stands for that colour
// The engine shifts every colour by the hue (degrees), saturation and brightness (-100..100)
// arguments before applying palette and style sheet to the whole application.
//
// Like the engine it stands in for, it never fails the program: a skin it cannot read leaves
// the system look and the call answers 0. Call on the user-interface thread after the
// QApplication exists.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace wavlon::platform {

struct Skin {
    std::string name;
    std::map<std::string, std::uint32_t> colors;  // role -> 0xRRGGBB
    std::string font_family;
    int font_pixels = 0;
    std::string style;  // with "@role" placeholders
};

// Reads a skin; nullopt when the bytes are not a skin of a version this engine knows.
std::optional<Skin> parse_skin(std::string_view bytes);

// The style sheet with every "@role" replaced by its shifted colour ("#rrggbb").
std::string render_skin_style(const Skin& skin, int hue, int saturation, int brightness);

// Shifts one 0xRRGGBB colour: hue in degrees, saturation and brightness in -100..100.
std::uint32_t shift_color(std::uint32_t rgb, int hue, int saturation, int brightness);

// Attaches the skin in `data` (`size` bytes) to the application. `password` protects
// encrypted skins (none of ours are; any text is accepted). Answers 1 when the skin was
// applied, 0 when it was refused (unreadable, empty, no application).
int SkinH_AttachRes(const std::uint8_t* data, std::uint32_t size, const char* password, int hue,
                    int saturation, int brightness);

}  // namespace wavlon::platform
