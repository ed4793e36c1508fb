// The part of the driver that sets up the program's own main window: its template and event
// table, a temporary program folder, and the fakes for the dialogs and the power-off.
#include <QApplication>
#include <QPalette>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/application.h"
#include "platform/network_check.h"
#include "player/program_state.h"
#include "runtime/config_file.h"
#include "runtime/program.h"
#include "support/local_http_server.h"
#include "support/main_window_driver.h"
#include "support/mp3_fixtures.h"
#include "support/qt_app.h"

namespace wavlon::testing {

namespace fs = std::filesystem;

void MainWindowDriver::set_up_program_window() {
    qt_application();
    m_sink.emplace();
    std::string pattern = (fs::temp_directory_path() / "wavlon_window_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    m_root = pattern;
    m_program = m_root / "program";
    fs::create_directories(m_program);
    runtime::set_run_directory_for_tests(runtime::utf8_to_gbk(m_program.string()));
    // The user's settings folder, should the program folder refuse a write.
    const char* config_home = std::getenv("XDG_CONFIG_HOME");
    const std::optional<std::string> previous_config_home =
        config_home ? std::optional<std::string>(config_home) : std::nullopt;
    ::setenv("XDG_CONFIG_HOME", (m_root / "config").c_str(), 1);
    platform::DialogBackend* previous_dialogs = platform::set_dialog_backend(&m_dialogs);
    platform::PowerBackend* previous_power = platform::set_power_backend(&m_power);
    // The start-up applies a skin to the whole application.
    m_put_back = [this, previous_config_home, previous_dialogs, previous_power,
                  style_sheet = qApp->styleSheet(), palette = QApplication::palette()] {
        platform::set_dialog_backend(previous_dialogs);
        platform::set_power_backend(previous_power);
        platform::set_network_check_url({});
        runtime::set_run_directory_for_tests({});
        if (previous_config_home) {
            ::setenv("XDG_CONFIG_HOME", previous_config_home->c_str(), 1);
        } else {
            ::unsetenv("XDG_CONFIG_HOME");
        }
        qApp->setStyleSheet(style_sheet);
        QApplication::setPalette(palette);
        player::reset_program_state();
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    };
    set_online(false);
    player::reset_program_state();
    app::prepare_main_window();
}

void MainWindowDriver::start() {
    app::load_main_window();
    ASSERT_NE(widget_of_main(), nullptr);
}

void MainWindowDriver::set_online(bool online) {
    static LocalHttpServer server([](const HttpRequest&) { return HttpReply::ok("ok"); });
    platform::set_network_check_url(
        online ? server.url()
               : "http://127.0.0.1:" + std::to_string(LocalHttpServer::refused_port()) + "/");
}

std::string MainWindowDriver::make_folder(const std::string& name,
                                          const std::vector<std::string>& files,
                                          const std::string& mp3) {
    fs::path folder = m_root / name;
    fs::create_directories(folder);
    for (const std::string& file : files) {
        if (file.ends_with("/")) {
            fs::create_directories(folder / file);
        } else if (mp3.empty()) {
            fs::copy_file(random_bytes_file("undecodable.mp3", 4096), folder / file);
        } else {
            fs::copy_file(mp3, folder / file);
        }
    }
    return folder.string();
}

void MainWindowDriver::store_folder(const std::string& folder) {
    // Written here as a file of another run holds it, not through the code under test.
    ASSERT_TRUE(runtime::write_config_item(runtime::utf8_to_gbk(config_path().string()), "config",
                                           runtime::utf8_to_gbk("路径"),
                                           runtime::utf8_to_gbk(folder)));
}

std::string MainWindowDriver::config_bytes() const {
    std::ifstream in(config_path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

}  // namespace wavlon::testing
