// Look of the Win32 units: texts, fonts and colours as the runtime stores them, turned into the
// system's, and the skin's colours over the system's where a skin is attached.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "runtime/template_blocks.h"
#include "runtime/text.h"

namespace wavlon::units {

// The system's arrow cursor and application icon (IDC_ARROW and IDI_APPLICATION in their
// wide-character form).
inline const wchar_t* const kArrowCursor = MAKEINTRESOURCEW(32512);
inline const wchar_t* const kApplicationIcon = MAKEINTRESOURCEW(32512);

std::wstring to_wide(const runtime::Text& text);
runtime::Text from_wide(const std::wstring& text);
// The control's text.
std::wstring window_text(HWND window);

// The system applies its own substitutes (the FontSubstitutes key) to the stored faces it
// lacks: nothing to install here. Kept for the start-up the Qt build shares.
inline void install_font_substitutions() {}

// The font every window starts with (and so every unit without a font of its own): 宋体 at
// 12 pixels. Lives as long as the program.
HFONT default_unit_font();
// A stored font by face and character height in pixels; the default font for none. Fonts are
// made once per distinct setting and live as long as the program.
HFONT unit_font(const runtime::FontSetting& font);

// The colours a unit is painted with. A stored colour (0x00BBGGRR, a COLORREF) wins; the
// system's colour (kSystemColour) gives the skin's colour for the role, else the system's.
enum class LookRole {
    kWindow,
    kWindowText,
    kBase,
    kText,
    kButton,
    kButtonText,
    kHighlight,
    kHighlightedText,
    kBorder,
    kDisabledText
};
COLORREF look_colour(LookRole role, std::uint32_t stored = runtime::kSystemColour);
// A solid brush of the colour, made once per colour.
HBRUSH solid_brush(COLORREF colour);

// Answers a WM_CTLCOLOR* message for a control drawn with these colours.
LRESULT paint_colours(HDC dc, COLORREF text, COLORREF background);
// The same for a field (edit box, list box) with these stored colours: the skin's or the
// system's text and field colours for kSystemColour.
LRESULT field_colours(WPARAM dc, std::uint32_t text, std::uint32_t background);
// Gives the control this stored font (the default font for none) and repaints it.
void apply_unit_font(HWND control, const runtime::FontSetting& font);

}  // namespace wavlon::units
