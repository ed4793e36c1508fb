// The driver of the Windows tests that run the whole player: the program's own main window on
// the system's controls, in a temporary program folder, with the message box, the folder
// dialog and the power-off answered by fakes and the network check pointed at this machine.
// Input goes to the controls as the system delivers a user's: button clicks, clicks on list
// items, a drag of a slider's thumb, typed characters, a double click on a result row.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/main_window_units.h"
#include "platform/dialogs.h"
#include "platform/power.h"
#include "support/temp_folder.h"

namespace wavlon::testing {

class ProgramWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Loads the main window: its creation routine (the network check, the notice) runs first.
    void start();
    // The network check answers (a server here) or is refused.
    void set_online(bool online);
    // A folder of copies of `mp3` under the test's folder, stored in config.ini.
    std::string store_folder_with(const std::vector<std::string>& names, const std::string& mp3);

    template <class T>
    static HWND control(const units::UnitRef<T>& unit) {
        return units::widget_of(runtime::live_unit(unit.window_id, unit.unit_id));
    }
    static std::string caption(HWND window);

    void click(HWND button);
    void click_item(HWND list, int row);
    void double_click_row(HWND view, int row);
    void drag_slider(HWND slider, int value);
    void type_text(HWND edit, const std::wstring& text);

    // Handles messages (timers run) until `done` or `ms` passed.
    bool wait_until(const std::function<bool()>& done, int ms = 10000);

    struct Dialogs final : platform::DialogBackend {
        platform::DialogButton message_box(const platform::MessageBoxRequest& request) override;
        std::string browse_for_folder(const platform::FolderRequest& request) override;
        std::vector<std::string> texts;
        std::vector<bool> window_shown;  // whether the main window showed when a box came
    };
    struct Power final : platform::PowerBackend {
        bool request(platform::PowerRequest what, bool force) override;
        std::vector<platform::PowerRequest> requests;
    };

    TempFolder m_root;
    Dialogs m_dialogs;
    Power m_power;

private:
    platform::DialogBackend* m_previous_dialogs = nullptr;
    platform::PowerBackend* m_previous_power = nullptr;
};

}  // namespace wavlon::testing
