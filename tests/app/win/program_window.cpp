#include "app/win/program_window.h"

#include <windows.h>

#include <commctrl.h>

#include <thread>

#include "app/application.h"
#include "platform/network_check.h"
#include "platform/win/wide_text.h"
#include "player/online_search.h"
#include "player/program_state.h"
#include "runtime/config_file.h"
#include "runtime/message_loop.h"
#include "runtime/program.h"
#include "runtime/window_table.h"
#include "support/environment.h"
#include "support/local_http_server.h"

namespace wavlon::testing {

namespace fs = std::filesystem;

platform::DialogButton ProgramWindowTest::Dialogs::message_box(
    const platform::MessageBoxRequest& request) {
    texts.push_back(request.text);
    HWND window = units::widget_of(runtime::live_unit(units::kMainWindowId, 0));
    window_shown.push_back(window != nullptr && IsWindowVisible(window));
    return platform::DialogButton::Ok;
}

std::string ProgramWindowTest::Dialogs::browse_for_folder(const platform::FolderRequest&) {
    return {};
}

bool ProgramWindowTest::Power::request(platform::PowerRequest what, bool) {
    requests.push_back(what);
    return false;  // refused, as by a system that does not let this user power off
}

void ProgramWindowTest::SetUp() {
    fs::create_directories(m_root.path("program"));
    fs::create_directories(m_root.path("appdata"));
    runtime::set_run_directory_for_tests(m_root.text("program"));
    set_variable("APPDATA", m_root.path("appdata").string());
    m_previous_dialogs = platform::set_dialog_backend(&m_dialogs);
    m_previous_power = platform::set_power_backend(&m_power);
    set_online(false);
    player::reset_program_state();
    app::prepare_main_window();
}

void ProgramWindowTest::TearDown() {
    runtime::uninstall_window_template();
    runtime::process_pending_events();
    platform::set_dialog_backend(m_previous_dialogs);
    platform::set_power_backend(m_previous_power);
    platform::set_network_check_url({});
    search::set_search_service_url_for_tests({});
    runtime::set_run_directory_for_tests({});
    player::reset_program_state();
}

void ProgramWindowTest::start() {
    app::load_main_window();
    ASSERT_NE(control(units::启动窗口), nullptr);
}

void ProgramWindowTest::set_online(bool online) {
    static LocalHttpServer server([](const HttpRequest&) { return HttpReply::ok("ok"); });
    platform::set_network_check_url(
        online ? server.url()
               : "http://127.0.0.1:" + std::to_string(LocalHttpServer::refused_port()) + "/");
}

std::string ProgramWindowTest::store_folder_with(const std::vector<std::string>& names,
                                                 const std::string& mp3) {
    fs::create_directories(m_root.path("music"));
    for (const std::string& name : names) {
        fs::copy_file(path_of(mp3), m_root.path("music/" + name));
    }
    EXPECT_TRUE(runtime::write_config_item(m_root.text("program/config.ini"), "config",
                                           platform::utf8_to_gbk("路径"), m_root.text("music")));
    return platform::gbk_to_utf8(m_root.text("music"));
}

std::string ProgramWindowTest::caption(HWND window) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return platform::narrow(text);
}

void ProgramWindowTest::click(HWND button) {
    ASSERT_TRUE(IsWindowVisible(button) && IsWindowEnabled(button)) << caption(button);
    SendMessageW(button, BM_CLICK, 0, 0);
    runtime::process_pending_events();
}

void ProgramWindowTest::click_item(HWND list, int row) {
    RECT item{};
    ASSERT_NE(SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(row),
                           reinterpret_cast<LPARAM>(&item)),
              LB_ERR);
    const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(list, WM_LBUTTONUP, 0, at);
    runtime::process_pending_events();
}

void ProgramWindowTest::double_click_row(HWND view, int row) {
    RECT item{};
    item.left = LVIR_BOUNDS;
    ASSERT_TRUE(SendMessageW(view, LVM_GETITEMRECT, static_cast<WPARAM>(row),
                             reinterpret_cast<LPARAM>(&item)));
    // The columns before the title may have no width: the middle of the row's visible part.
    RECT client{};
    GetClientRect(view, &client);
    const LPARAM at =
        MAKELPARAM((std::max(item.left, client.left) + std::min(item.right, client.right)) / 2,
                   (item.top + item.bottom) / 2);
    // Posted, as the system queues them: the list view waits for the release after a press.
    PostMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(view, WM_LBUTTONUP, 0, at);
    PostMessageW(view, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageW(view, WM_LBUTTONUP, 0, at);
    runtime::process_pending_events();
}

void ProgramWindowTest::drag_slider(HWND slider, int value) {
    // What the track bar tells its window while the user drags its thumb there and lets go.
    HWND parent = GetParent(slider);
    SendMessageW(slider, TBM_SETPOS, TRUE, value);
    for (WORD code : {TB_THUMBTRACK, TB_THUMBPOSITION, TB_ENDTRACK}) {
        SendMessageW(parent, WM_HSCROLL, MAKEWPARAM(code, value), reinterpret_cast<LPARAM>(slider));
    }
    runtime::process_pending_events();
}

void ProgramWindowTest::type_text(HWND edit, const std::wstring& text) {
    SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(-1), -1);
    for (wchar_t unit : text) {
        SendMessageW(edit, WM_CHAR, unit, 1);
    }
    runtime::process_pending_events();
}

bool ProgramWindowTest::wait_until(const std::function<bool()>& done, int ms) {
    const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(ms);
    while (!done()) {
        if (GetTickCount64() > until) {
            return false;
        }
        runtime::process_pending_events();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace wavlon::testing
