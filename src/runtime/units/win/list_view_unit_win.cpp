// The list view on Win32: the common controls' list view. In report view it shows the stored
// columns (a width of 0 keeps a column out of sight until the user widens it); the other views
// show one unnamed column. A double click raises the common event -3.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>

#include "runtime/units/list_view_unit.h"
#include "unit_look.h"

namespace wavlon::units {
namespace {

int format_of(runtime::ColumnAlignment alignment) {
    switch (alignment) {
        case runtime::ColumnAlignment::kCentre:
            return LVCFMT_CENTER;
        case runtime::ColumnAlignment::kRight:
            return LVCFMT_RIGHT;
        default:
            return LVCFMT_LEFT;
    }
}

DWORD view_style(std::uint32_t view_type) {
    switch (view_type) {
        case 0:
            return LVS_ICON;
        case 1:
            return LVS_SMALLICON;
        case 2:
            return LVS_LIST;
        default:
            return LVS_REPORT;
    }
}

const wchar_t* list_view_class() {
    static const bool loaded = [] {
        INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES};
        return InitCommonControlsEx(&controls) != FALSE;
    }();
    (void)loaded;
    return WC_LISTVIEWW;
}

int column_count(HWND view) {
    HWND header = reinterpret_cast<HWND>(SendMessageW(view, LVM_GETHEADER, 0, 0));
    return header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

}  // namespace

ListViewUnit::ListViewUnit(const runtime::UnitCreateParams& params, runtime::ListViewBlock block)
    : WithPropertyTable(
          params, ControlClass{list_view_class(),
                               view_style(block.view_type) | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                               WS_EX_CLIENTEDGE}),
      m_block(std::move(block)),
      m_kept(kept_numbers(properties())) {
    SendMessageW(handle(), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT,
                 LVS_EX_FULLROWSELECT);
    on_look_change([this] { apply_look(); });
    apply_columns();
    apply_look();
}

void ListViewUnit::apply_columns() {
    LONG_PTR style = GetWindowLongPtrW(handle(), GWL_STYLE) & ~static_cast<LONG_PTR>(LVS_TYPEMASK);
    SetWindowLongPtrW(handle(), GWL_STYLE, style | view_style(m_block.view_type));
    while (SendMessageW(handle(), LVM_DELETECOLUMN, 0, 0)) {
    }
    const bool report = m_block.view_type == runtime::kListViewReport;
    const std::size_t count = report ? std::max<std::size_t>(1, m_block.columns.size()) : 1;
    for (std::size_t i = 0; i < count; ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        std::wstring heading;
        column.cx = 100;
        if (report && i < m_block.columns.size()) {
            const runtime::ListViewColumn& stored = m_block.columns[i];
            heading = to_wide(stored.heading);
            column.cx = static_cast<int>(std::min<std::uint32_t>(stored.width, 32767));
            column.fmt = format_of(stored.alignment);
        }
        column.pszText = heading.data();
        column.iSubItem = static_cast<int>(i);
        SendMessageW(handle(), LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
}

void ListViewUnit::apply_look() {
    SendMessageW(handle(), WM_SETFONT, reinterpret_cast<WPARAM>(unit_font(m_block.font)), TRUE);
    const COLORREF text = look_colour(LookRole::kText, m_block.text_colour);
    const COLORREF background = look_colour(LookRole::kBase, m_block.background);
    SendMessageW(handle(), LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(text));
    SendMessageW(handle(), LVM_SETBKCOLOR, 0, static_cast<LPARAM>(background));
    SendMessageW(handle(), LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(background));
    InvalidateRect(handle(), nullptr, TRUE);
}

std::int32_t ListViewUnit::insert_item(std::optional<std::int32_t> position,
                                       const runtime::Text& text, std::optional<std::int32_t> image,
                                       std::optional<std::int32_t> state_image,
                                       std::optional<std::int32_t> indent,
                                       std::optional<std::int32_t> item_data) {
    const std::int32_t count = item_count();
    std::wstring wide = to_wide(text);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_INDENT | LVIF_PARAM | LVIF_STATE;
    item.iItem = !position || *position < 0 || *position > count ? count : *position;
    item.pszText = wide.data();
    item.iImage = std::max(image.value_or(-1), -1);
    // State images count from 1; values below -1 count as -1 (none).
    item.state =
        INDEXTOSTATEIMAGEMASK(static_cast<UINT>(std::clamp(state_image.value_or(-1), -1, 14) + 1));
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.iIndent = std::max(indent.value_or(0), 0);
    item.lParam = item_data.value_or(0);
    LRESULT row = SendMessageW(handle(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    return row < 0 ? -1 : static_cast<std::int32_t>(row);
}

void ListViewUnit::set_item_text(std::int32_t row, std::int32_t column, const runtime::Text& text) {
    if (row < 0 || row >= item_count() || column < 0 || column >= column_count(handle())) {
        return;
    }
    std::wstring wide = to_wide(text);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = wide.data();
    SendMessageW(handle(), LVM_SETITEMTEXTW, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
}

runtime::Text ListViewUnit::get_item_text(std::int32_t row, std::int32_t column) const {
    if (row < 0 || row >= item_count() || column < 0 || column >= column_count(handle())) {
        return {};
    }
    // The control copies at most the buffer's size: grow it until the whole text fits.
    for (std::size_t size = 256;; size *= 4) {
        std::wstring text(size, L'\0');
        LVITEMW item{};
        item.iSubItem = column;
        item.pszText = text.data();
        item.cchTextMax = static_cast<int>(size);
        LRESULT length = SendMessageW(handle(), LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                                      reinterpret_cast<LPARAM>(&item));
        if (static_cast<std::size_t>(length) + 1 < size || size > (1u << 26)) {
            text.resize(static_cast<std::size_t>(length));
            return from_wide(text);
        }
    }
}

void ListViewUnit::delete_all_items() {
    SendMessageW(handle(), LVM_DELETEALLITEMS, 0, 0);
}

std::int32_t ListViewUnit::item_count() const {
    return static_cast<std::int32_t>(SendMessageW(handle(), LVM_GETITEMCOUNT, 0, 0));
}

std::int32_t ListViewUnit::current_row() const {
    return static_cast<std::int32_t>(
        SendMessageW(handle(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void ListViewUnit::select_row(std::int32_t row) {
    LVITEMW none{};
    none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>(&none));
    if (row < 0 || row >= item_count()) {
        return;
    }
    LVITEMW chosen{};
    chosen.state = LVIS_SELECTED | LVIS_FOCUSED;
    chosen.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&chosen));
}

std::vector<std::uint8_t> ListViewUnit::property_data() const {
    runtime::ListViewBlock block = m_block;
    // Widths the user dragged are kept.
    const int columns = column_count(handle());
    for (std::size_t i = 0; i < block.columns.size() && static_cast<int>(i) < columns; ++i) {
        block.columns[i].width = static_cast<std::uint32_t>(
            SendMessageW(handle(), LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(i), 0));
    }
    return runtime::encode_block(block);
}

}  // namespace wavlon::units
