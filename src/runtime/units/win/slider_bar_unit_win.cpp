// The slider on Win32: the common controls' track bar. Every move the user makes (a drag of the
// thumb, a click beside it, the keys) raises the changed event; the program's own writes raise
// nothing.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>

#include "runtime/units/slider_bar_unit.h"
#include "unit_look.h"

namespace wavlon::units {
namespace {

const wchar_t* track_bar_class() {
    static const bool loaded = [] {
        INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES};
        return InitCommonControlsEx(&controls) != FALSE;
    }();
    (void)loaded;
    return TRACKBAR_CLASSW;
}

}  // namespace

SliderBarUnit::SliderBarUnit(const runtime::UnitCreateParams& params, runtime::SliderBarBlock block)
    : WithPropertyTable(params, ControlClass{track_bar_class(), TBS_HORZ | TBS_NOTICKS | TBS_BOTH}),
      m_block(block) {
    apply_range();
    on_parent_message([this](UINT message, WPARAM wparam, LPARAM, LRESULT& result) {
        if (message != WM_HSCROLL && message != WM_VSCROLL) {
            return false;
        }
        result = 0;
        const int code = LOWORD(wparam);
        const auto now = static_cast<std::int32_t>(SendMessageW(handle(), TBM_GETPOS, 0, 0));
        // The end of a move repeats the position the move already reported (a stored position
        // outside the range shows at the range's end).
        const std::int32_t shown =
            std::clamp(position(), minimum(), std::max(maximum(), minimum()));
        if (code == TB_ENDTRACK || (code == TB_THUMBPOSITION && now == shown)) {
            return true;
        }
        user_moved();
        return true;
    });
}

void SliderBarUnit::user_moved() {
    m_block.properties[kPosition - runtime::property::kFirstOwn] =
        static_cast<std::int32_t>(SendMessageW(handle(), TBM_GETPOS, 0, 0));
    raise(kChangedEvent);
    // Nothing after the dispatch: the routine may have destroyed this unit.
}

void SliderBarUnit::apply_range() {
    const std::int32_t low = minimum();
    const std::int32_t high = std::max(maximum(), low);
    SendMessageW(handle(), TBM_SETRANGEMIN, FALSE, low);
    SendMessageW(handle(), TBM_SETRANGEMAX, FALSE, high);
    // A page is a fifth of the range, as the system's own track bars step.
    SendMessageW(handle(), TBM_SETPAGESIZE, 0, std::max(1, (high - low) / 5));
    SendMessageW(handle(), TBM_SETLINESIZE, 0, 1);
    SendMessageW(handle(), TBM_SETPOS, TRUE, std::clamp(position(), low, high));
}

}  // namespace wavlon::units
