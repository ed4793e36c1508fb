// The transparent label on Win32: a window of the program's own class that draws its caption
// straight onto what lies under it, in its font and text colour. It paints no background: the
// window paints its own under every unit (it does not clip its children), and a change of the
// label repaints that part of the window, whatever other label shares it.
#include "runtime/units/trans_label_unit.h"
#include "unit_look.h"

namespace wavlon::units {
namespace {

constexpr wchar_t kLabelClass[] = L"WavlonTransLabel";

const wchar_t* label_class() {
    static const bool registered = [] {
        WNDCLASSEXW label{};
        label.cbSize = sizeof(label);
        label.style = CS_DBLCLKS;
        label.lpfnWndProc = DefWindowProcW;
        label.hInstance = GetModuleHandleW(nullptr);
        label.hCursor = LoadCursorW(nullptr, kArrowCursor);
        label.lpszClassName = kLabelClass;
        return RegisterClassExW(&label) != 0;
    }();
    (void)registered;
    return kLabelClass;
}

// Repaints the part of the window under the label: its background, then every unit there.
void repaint_under(HWND label) {
    HWND parent = GetParent(label);
    RECT area{};
    GetWindowRect(label, &area);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&area), 2);
    RedrawWindow(parent, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

}  // namespace

TransLabelUnit::TransLabelUnit(const runtime::UnitCreateParams& params,
                               runtime::TransLabelBlock block)
    : WithPropertyTable(params, ControlClass{label_class(), 0, WS_EX_TRANSPARENT},
                        to_wide(block.caption)),
      m_block(std::move(block)) {
    on_own_message([this](UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
        if (message == WM_ERASEBKGND) {
            result = 1;  // the window's background shows through
            return true;
        }
        if (message == WM_SETTEXT || message == WM_ENABLE) {
            result = call_original(message, wparam, lparam);
            repaint_under(handle());
            return true;
        }
        if (message != WM_PAINT) {
            return false;
        }
        PAINTSTRUCT paint{};
        HDC dc = BeginPaint(handle(), &paint);
        RECT area{};
        GetClientRect(handle(), &area);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, IsWindowEnabled(handle())
                             ? static_cast<COLORREF>(m_block.text_colour & 0x00FFFFFF)
                             : look_colour(LookRole::kDisabledText));
        HGDIOBJ previous = SelectObject(dc, unit_font(m_block.font));
        std::wstring text = window_text(handle());
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &area,
                  DT_LEFT | DT_TOP | DT_NOPREFIX | DT_EXPANDTABS);
        SelectObject(dc, previous);
        EndPaint(handle(), &paint);
        result = 0;
        return true;
    });
    apply_look();
}

void TransLabelUnit::apply_look() {
    repaint_under(handle());
}

void TransLabelUnit::set_caption(const runtime::Text& caption) {
    m_block.caption = caption;
    SetWindowTextW(handle(), to_wide(caption).c_str());
}

}  // namespace wavlon::units
