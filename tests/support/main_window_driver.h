// The one driver of the tests that load a main window (id 0x52010001) and use it as a user
// would: the program's own window (its stored template and event table) for the player, app
// and search tests, or a window built from unit records for the unit tests. The window is
// loaded offscreen; clicks, drags and typed text are sent to the units' widgets as the platform
// delivers them, and the timers run while the driver waits.
//
// The program's window runs in a temporary program folder (config.ini, the user's settings
// folder), with the folder dialog, the message box and the power-off answered by fakes, the
// network check pointed at this machine (offline unless set_online), the program state as at
// start, and the default sink's volume and mute put back afterwards.
//
// Tests use it through the fixtures at the end: MainWindowTest or UnitWindowTest.
#pragma once

#include <gtest/gtest.h>

#include <QEvent>

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/dialogs.h"
#include "platform/power.h"
#include "runtime/template_blocks.h"
#include "runtime/template_format.h"
#include "runtime/unit.h"
#include "runtime/units/unit_access.h"
#include "support/pulse_server.h"

class QObject;
class QListWidget;
class QTreeWidget;
class QWidget;

namespace wavlon::testing {

// Answers every message box with OK and the folder dialog from `folders`, remembering both.
class FakeDialogs final : public platform::DialogBackend {
public:
    struct Box {
        platform::MessageBoxRequest request;
        bool window_visible = false;  // whether the main window showed when the box came
    };
    platform::DialogButton message_box(const platform::MessageBoxRequest& request) override;
    std::string browse_for_folder(const platform::FolderRequest& request) override;

    std::deque<std::string> folders;  // the answers to the folder dialog; none left: cancel
    std::vector<std::string> folder_titles;
    std::vector<Box> boxes;
};

// Refuses every power request, as a system that does not let this user power off.
class FakePower final : public platform::PowerBackend {
public:
    bool request(platform::PowerRequest what, bool force) override;
    std::vector<platform::PowerRequest> requests;
    std::vector<bool> forced;
};

// Sends `event` to `receiver` as the platform would deliver user input.
void send_event(QObject* receiver, QEvent& event);

class MainWindowDriver {
public:
    static constexpr std::uint32_t kWindow = 0x52010001;

    // ---- The program's window ----

    // Prepares the program's window (template, routines, fakes, program folder); start loads it.
    void set_up_program_window();
    // Loads the main window; its creation routine runs first.
    void start();
    // Online when the network check should answer, offline (a refused port) otherwise.
    void set_online(bool online);

    // A folder under the test's temporary root holding these files (UTF-8 names); a name
    // ending in "/" makes a sub-folder. Files are copies of `mp3` unless `mp3` is empty, then
    // random bytes that do not decode.
    std::string make_folder(const std::string& name, const std::vector<std::string>& files,
                            const std::string& mp3);
    // config.ini in the program folder with this folder stored (UTF-8, written as GB18030).
    void store_folder(const std::string& folder);
    std::string config_bytes() const;
    std::filesystem::path config_path() const { return m_program / "config.ini"; }
    // The user's config.ini, used when the program folder refuses writes.
    std::filesystem::path user_config_path() const { return m_root / "config/wavlon/config.ini"; }

    // ---- A window built from unit records ----

    // Registers the standard units; load installs and loads the window.
    void set_up_unit_window();
    // A unit record: visible and enabled unless `flags` says otherwise. Its event 0 and its
    // double-click (-3) are recorded in m_events.
    static runtime::UnitRecord record(std::uint32_t type, const char* name, runtime::UnitRect rect,
                                      std::vector<std::uint8_t> block,
                                      std::uint32_t flags = runtime::kFlagVisible);
    // Installs a template with this window and its units and loads it; the window's creation
    // event calls m_on_created.
    void load(std::vector<std::pair<std::uint32_t, runtime::UnitRecord>> units,
              runtime::WindowFormBlock window = {});
    // How often the unit raised the event since the window was loaded.
    int events_of(std::uint32_t unit_id, std::int32_t event) const;

    template <class T>
    static T& unit(std::uint32_t unit_id) {
        return units::unit_as<T>(kWindow, unit_id);
    }

    // ---- Either window ----

    // Unloads the window and the template, puts back what the set-up replaced.
    void tear_down();

    QWidget* widget_of_main() const;
    // The widget of the unit with this template name.
    QWidget* widget(const char* name) const;
    bool enabled(const char* name) const;

    // A left click in the middle of the unit's widget.
    void click(const char* name);
    // A left click on the item in row `row` of 列表框1, scrolled into sight first.
    void click_item(int row);
    // A double click on a row of the search results (超级列表框1).
    void double_click_result(int row);
    // What a drag of the slider's thumb to `value` does.
    void drag_slider(const char* name, int value);
    // Text typed at the end of an edit box, as an input method commits it.
    void type_text(const char* name, const std::string& utf8);

    // The same on widgets of the test's own.
    static void click_widget(QWidget* widget);
    static void click_list_row(QListWidget* list, int row);
    static void double_click_tree_row(QTreeWidget* tree, int row);

    // Processes events (timers run) until `done` or `ms` passed.
    bool wait_until(const std::function<bool()>& done, int ms = 5000);
    void wait_ms(int ms);

    FakeDialogs m_dialogs;
    FakePower m_power;
    std::filesystem::path m_root;
    std::filesystem::path m_program;
    std::vector<std::pair<std::uint32_t, std::int32_t>> m_events;  // (unit, event)
    std::function<void()> m_on_created;

private:
    // Set by the program window's set-up: puts back the backends, settings and look it
    // replaced, and removes the temporary folder.
    std::function<void()> m_put_back;
    std::optional<DefaultSinkGuard> m_sink;
};

// The tests of the program's own main window.
class MainWindowTest : public ::testing::Test, public MainWindowDriver {
protected:
    void SetUp() override { set_up_program_window(); }
    void TearDown() override { tear_down(); }
};

// The tests of units in a window of their own records.
class UnitWindowTest : public ::testing::Test, public MainWindowDriver {
protected:
    void SetUp() override { set_up_unit_window(); }
    void TearDown() override { tear_down(); }
};

}  // namespace wavlon::testing
