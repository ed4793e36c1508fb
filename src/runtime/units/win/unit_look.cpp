#include "unit_look.h"

#include <algorithm>
#include <climits>
#include <map>
#include <tuple>

#include "platform/codec.h"
#include "platform/win/skin_look.h"

namespace wavlon::units {
namespace {

constexpr int kDefaultPixels = 12;
constexpr int kMaxPixels = 4096;

// The system's fonts by the settings they were made from; they live as long as the program,
// since a control may hold one until it goes.
using FontKey = std::tuple<std::wstring, int, int, bool, bool, bool, int>;
std::map<FontKey, HFONT>& fonts() {
    static std::map<FontKey, HFONT> made;
    return made;
}

HFONT make_font(const std::wstring& face, int pixels, int weight, bool italic, bool underline,
                bool strike_out, int charset) {
    FontKey key{face, pixels, weight, italic, underline, strike_out, charset};
    auto& made = fonts();
    if (auto found = made.find(key); found != made.end()) {
        return found->second;
    }
    LOGFONTW font{};
    font.lfHeight = -pixels;  // character height, as the stored fonts give it
    font.lfWeight = weight;
    font.lfItalic = italic ? TRUE : FALSE;
    font.lfUnderline = underline ? TRUE : FALSE;
    font.lfStrikeOut = strike_out ? TRUE : FALSE;
    font.lfCharSet = static_cast<BYTE>(charset);
    font.lfQuality = DEFAULT_QUALITY;
    face.copy(font.lfFaceName, LF_FACESIZE - 1);
    HFONT handle = CreateFontIndirectW(&font);
    if (handle == nullptr) {
        handle = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    }
    made.emplace(key, handle);
    return handle;
}

}  // namespace

std::wstring to_wide(const runtime::Text& text) {
    std::u16string units = platform::gbk_to_utf16(text);
    return std::wstring(units.begin(), units.end());
}

runtime::Text from_wide(const std::wstring& text) {
    return platform::utf16_to_gbk(std::u16string(text.begin(), text.end()));
}

std::wstring window_text(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

HFONT default_unit_font() {
    return make_font(L"宋体", kDefaultPixels, FW_NORMAL, false, false, false, GB2312_CHARSET);
}

HFONT unit_font(const runtime::FontSetting& stored) {
    if (!stored) {
        return default_unit_font();
    }
    // A height of 0 asks for the face's default size; INT_MIN has no magnitude.
    int pixels =
        stored->height == 0 || stored->height == INT32_MIN ? kDefaultPixels : stored->pixel_size();
    int weight = stored->weight <= 0 ? runtime::kFontWeightNormal : stored->weight;
    return make_font(to_wide(stored->face), std::clamp(pixels, 1, kMaxPixels),
                     std::clamp(weight, 1, 1000), stored->italic != 0, stored->underline != 0,
                     stored->strike_out != 0, stored->charset);
}

COLORREF look_colour(LookRole role, std::uint32_t stored) {
    if (stored != runtime::kSystemColour) {
        return static_cast<COLORREF>(stored & 0x00FFFFFF);
    }
    static constexpr struct {
        LookRole role;
        const char* skin_role;
        int system;
    } kRoles[] = {
        {LookRole::kWindow, "window", COLOR_BTNFACE},
        {LookRole::kWindowText, "window-text", COLOR_BTNTEXT},
        {LookRole::kBase, "base", COLOR_WINDOW},
        {LookRole::kText, "text", COLOR_WINDOWTEXT},
        {LookRole::kButton, "button", COLOR_BTNFACE},
        {LookRole::kButtonText, "button-text", COLOR_BTNTEXT},
        {LookRole::kHighlight, "highlight", COLOR_HIGHLIGHT},
        {LookRole::kHighlightedText, "highlighted-text", COLOR_HIGHLIGHTTEXT},
        {LookRole::kBorder, "border", COLOR_BTNSHADOW},
        {LookRole::kDisabledText, "disabled-text", COLOR_GRAYTEXT},
    };
    for (const auto& entry : kRoles) {
        if (entry.role != role) {
            continue;
        }
        if (std::optional<std::uint32_t> rgb = platform::skin_colour(entry.skin_role)) {
            return RGB((*rgb >> 16) & 0xFF, (*rgb >> 8) & 0xFF, *rgb & 0xFF);
        }
        return GetSysColor(entry.system);
    }
    return GetSysColor(COLOR_BTNFACE);
}

HBRUSH solid_brush(COLORREF colour) {
    static std::map<COLORREF, HBRUSH> brushes;
    auto [entry, made] = brushes.try_emplace(colour, nullptr);
    if (made) {
        entry->second = CreateSolidBrush(colour);
    }
    return entry->second;
}

LRESULT paint_colours(HDC dc, COLORREF text, COLORREF background) {
    SetTextColor(dc, text);
    SetBkColor(dc, background);
    return reinterpret_cast<LRESULT>(solid_brush(background));
}

LRESULT field_colours(WPARAM dc, std::uint32_t text, std::uint32_t background) {
    return paint_colours(reinterpret_cast<HDC>(dc), look_colour(LookRole::kText, text),
                         look_colour(LookRole::kBase, background));
}

void apply_unit_font(HWND control, const runtime::FontSetting& font) {
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(unit_font(font)), TRUE);
    InvalidateRect(control, nullptr, TRUE);
}

}  // namespace wavlon::units
