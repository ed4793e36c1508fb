// The list box on Win32: the system's list box. A click on an item raises the selection event
// even when the item was already selected (the user picked it again), as does every change of
// the selection the user makes by dragging or with the keyboard; the program's own selections
// raise nothing.
#include <cassert>

#include "runtime/units/list_box_unit.h"
#include "unit_look.h"

namespace wavlon::units {
namespace {

std::int32_t item_at(HWND list, LPARAM point) {
    LRESULT hit = SendMessageW(list, LB_ITEMFROMPOINT, 0, point);
    return HIWORD(hit) == 0 ? static_cast<std::int32_t>(LOWORD(hit)) : -1;
}

}  // namespace

ListBoxUnit::ListBoxUnit(const runtime::UnitCreateParams& params, runtime::ListBoxBlock block)
    : WithPropertyTable(
          params,
          ControlClass{L"LISTBOX", LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_HSCROLL,
                       WS_EX_CLIENTEDGE}),
      m_block(std::move(block)),
      m_kept(kept_numbers(properties())) {
    // As the Qt list: a press on an item is a pick even when it was selected already; a drag
    // with the button down or a key raises the event only when it moved the selection. The
    // list box's own LBN_SELCHANGE (also sent for a key that moves nothing, and again when the
    // button goes up) is not used.
    on_own_message([this](UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
        const bool press = message == WM_LBUTTONDOWN;
        if (!press && message != WM_LBUTTONUP && message != WM_MOUSEMOVE && message != WM_KEYDOWN &&
            message != WM_CHAR) {
            return false;
        }
        const bool on_item = press && item_at(handle(), lparam) >= 0;
        const std::int32_t before = selection();
        result = call_original(message, wparam, lparam);
        if (on_item || selection() != before) {
            raise(kSelectionEvent);  // nothing after: the routine may have destroyed this unit
        }
        return true;
    });
    on_parent_message([this](UINT message, WPARAM wparam, LPARAM, LRESULT& result) {
        if (message == WM_COMMAND && HIWORD(wparam) == LBN_SELCHANGE) {
            result = 0;
            return true;
        }
        if (message == WM_CTLCOLORLISTBOX) {
            result = field_colours(wparam, m_block.text_colour, m_block.background);
            return true;
        }
        return false;
    });
    apply_look();
}

void ListBoxUnit::apply_look() {
    apply_unit_font(handle(), m_block.font);
}

std::int32_t ListBoxUnit::item_count() const {
    return static_cast<std::int32_t>(SendMessageW(handle(), LB_GETCOUNT, 0, 0));
}

std::int32_t ListBoxUnit::add_item(const runtime::Text& text, std::int32_t value) {
    std::wstring wide = to_wide(text);
    SendMessageW(handle(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    m_values.push_back(value);
    return item_count() - 1;
}

void ListBoxUnit::add_items(std::span<const runtime::Text> texts,
                            std::span<const std::int32_t> values) {
    assert(texts.size() == values.size());
    // Drawn once, after the last item.
    SendMessageW(handle(), WM_SETREDRAW, FALSE, 0);
    for (const runtime::Text& text : texts) {
        std::wstring wide = to_wide(text);
        SendMessageW(handle(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
    }
    SendMessageW(handle(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(handle(), nullptr, TRUE);
    m_values.insert(m_values.end(), values.begin(), values.end());
}

void ListBoxUnit::clear_items() {
    SendMessageW(handle(), LB_RESETCONTENT, 0, 0);
    m_values.clear();
}

runtime::Text ListBoxUnit::item_text(std::int32_t index) const {
    LRESULT length = SendMessageW(handle(), LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (index < 0 || length == LB_ERR) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    length = SendMessageW(handle(), LB_GETTEXT, static_cast<WPARAM>(index),
                          reinterpret_cast<LPARAM>(text.data()));
    text.resize(length == LB_ERR ? 0 : static_cast<std::size_t>(length));
    return from_wide(text);
}

bool ListBoxUnit::select_item(std::int32_t index) {
    if (index < 0 || index >= item_count()) {
        SendMessageW(handle(), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        return false;
    }
    // The system scrolls the item into sight.
    return SendMessageW(handle(), LB_SETCURSEL, static_cast<WPARAM>(index), 0) != LB_ERR;
}

std::int32_t ListBoxUnit::selection() const {
    LRESULT selected = SendMessageW(handle(), LB_GETCURSEL, 0, 0);
    return selected == LB_ERR ? -1 : static_cast<std::int32_t>(selected);
}

}  // namespace wavlon::units
