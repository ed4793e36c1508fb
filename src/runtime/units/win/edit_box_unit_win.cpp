// The edit box on Win32: the system's single-line edit control. Only what the user types
// raises the content-changed event from the control; the program's own writes raise it
// through set_content.
#include "runtime/units/edit_box_unit.h"
#include "unit_look.h"

namespace wavlon::units {
namespace {

// Set while the program writes a content, so the control's EN_CHANGE for it is not the user's.
bool g_program_writes = false;

}  // namespace

EditBoxUnit::EditBoxUnit(const runtime::UnitCreateParams& params, runtime::EditBoxBlock block)
    : WithPropertyTable(params, ControlClass{L"EDIT", ES_AUTOHSCROLL | ES_LEFT, WS_EX_CLIENTEDGE},
                        to_wide(block.content)),
      m_block(std::move(block)),
      m_kept(kept_numbers(properties())) {
    SendMessageW(handle(), EM_SETLIMITTEXT, 0, 0);  // as long as the system allows
    on_parent_message([this](UINT message, WPARAM wparam, LPARAM, LRESULT& result) {
        if (message == WM_COMMAND && HIWORD(wparam) == EN_CHANGE) {
            result = 0;
            if (!g_program_writes) {
                raise(kChangedEvent);
            }
            return true;
        }
        if (message == WM_CTLCOLOREDIT || message == WM_CTLCOLORSTATIC) {
            // A disabled edit box asks as a static control: its text stays readable.
            result = field_colours(wparam, m_block.text_colour, m_block.background);
            return true;
        }
        return false;
    });
    apply_look();
}

void EditBoxUnit::apply_look() {
    apply_unit_font(handle(), m_block.font);
}

runtime::Text EditBoxUnit::content() const {
    return from_wide(window_text(handle()));
}

void EditBoxUnit::set_content(const runtime::Text& content) {
    const std::wstring text = to_wide(content);
    g_program_writes = true;
    SetWindowTextW(handle(), text.c_str());
    g_program_writes = false;
    // The caret after the text, where typing goes on (as Qt's line edit has it).
    SendMessageW(handle(), EM_SETSEL, text.size(), static_cast<LPARAM>(text.size()));
    raise(kChangedEvent);
}

}  // namespace wavlon::units
