// The program's real main window for the player tests: the stored template with the program's
// event table, loaded offscreen and driven as a user would (clicks on the units' widgets, the
// timers running). The folder dialog, the message box and the power-off are answered by fakes;
// config.ini lives in a temporary program folder; sound goes to the fixture's null sink.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "platform/power.h"
#include "runtime/text.h"
#include "support/pulse_server.h"

class QWidget;

namespace wavlon::testing {

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

class FakePower final : public platform::PowerBackend {
public:
    bool request(platform::PowerRequest what, bool force) override;
    std::vector<platform::PowerRequest> requests;
    std::vector<bool> forced;
};

class PlayerWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

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

    QWidget* widget_of_main() const;
    QWidget* widget(const char* name) const;
    void click(const char* name);
    void click_item(int row);
    // A double click on a row of the search results.
    void double_click_result(int row);
    // What a drag of the slider's thumb to `value` does.
    void drag_slider(const char* name, int value);
    // Processes events (timers run) until `done` or `ms` passed.
    bool wait_until(const std::function<bool()>& done, int ms = 5000);
    void wait_ms(int ms);

    bool enabled(const char* name) const;

    FakeDialogs m_dialogs;
    FakePower m_power;
    std::filesystem::path m_root;
    std::filesystem::path m_program;

private:
    DefaultSinkGuard m_sink;
    std::optional<std::string> m_previous_config_home;
    platform::DialogBackend* m_previous_dialogs = nullptr;
    platform::PowerBackend* m_previous_power = nullptr;
};

}  // namespace wavlon::testing
