// The button on Win32: the system's push button; with a skin attached it is drawn by the unit
// in the skin's button colours (the system's buttons take no colours of their own).
#include "platform/win/skin_look.h"
#include "runtime/units/button_unit.h"
#include "unit_look.h"

namespace wavlon::units {
namespace {

void draw_button(const DRAWITEMSTRUCT& item) {
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    RECT area = item.rcItem;
    FillRect(item.hDC, &area,
             solid_brush(look_colour(pressed ? LookRole::kHighlight : LookRole::kButton)));
    HBRUSH border = solid_brush(look_colour(LookRole::kBorder));
    FrameRect(item.hDC, &area, border);
    std::wstring text = window_text(item.hwndItem);
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, look_colour(disabled  ? LookRole::kDisabledText
                                       : pressed ? LookRole::kHighlightedText
                                                 : LookRole::kButtonText));
    HGDIOBJ previous = SelectObject(
        item.hDC, reinterpret_cast<HGDIOBJ>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0)));
    DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &area,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(item.hDC, previous);
    if ((item.itemState & ODS_FOCUS) != 0) {
        InflateRect(&area, -3, -3);
        DrawFocusRect(item.hDC, &area);
    }
}

}  // namespace

ButtonUnit::ButtonUnit(const runtime::UnitCreateParams& params, runtime::ButtonBlock block)
    : WithPropertyTable(params, ControlClass{L"BUTTON", BS_PUSHBUTTON}, to_wide(block.caption)),
      m_block(std::move(block)) {
    on_parent_message([this](UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
        if (message == WM_COMMAND && HIWORD(wparam) == BN_CLICKED) {
            result = 0;
            raise(kClickEvent);  // nothing after: the routine may have destroyed this unit
            return true;
        }
        if (message == WM_DRAWITEM) {
            draw_button(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
            result = TRUE;
            return true;
        }
        return false;
    });
    // Skinned: drawn by the unit; otherwise the system's button.
    on_look_change([this] {
        LONG_PTR style =
            GetWindowLongPtrW(handle(), GWL_STYLE) & ~static_cast<LONG_PTR>(BS_TYPEMASK);
        style |= platform::attached_skin() ? BS_OWNERDRAW : BS_PUSHBUTTON;
        SetWindowLongPtrW(handle(), GWL_STYLE, style);
    });
    look_changed();
    apply_font();
    apply_picture();
}

void ButtonUnit::apply_picture() {
    // Pictures are kept as stored; the program's buttons have none, and the system's button
    // shows its caption.
}

void ButtonUnit::apply_font() {
    apply_unit_font(handle(), m_block.font);
}

void ButtonUnit::set_caption(const runtime::Text& caption) {
    m_block.caption = caption;
    SetWindowTextW(handle(), to_wide(caption).c_str());
}

}  // namespace wavlon::units
