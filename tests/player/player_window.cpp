#include "player_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QListWidget>
#include <QMouseEvent>
#include <QSlider>
#include <QTreeWidget>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/application.h"
#include "platform/network_check.h"
#include "player/program_state.h"
#include "player/window_units.h"
#include "runtime/config_file.h"
#include "runtime/program.h"
#include "runtime/units/main_window_units.h"
#include "runtime/window_table.h"
#include "support/local_http_server.h"
#include "support/mp3_fixtures.h"
#include "support/qt_app.h"

namespace wavlon::testing {

namespace fs = std::filesystem;

platform::DialogButton FakeDialogs::message_box(const platform::MessageBoxRequest& request) {
    QWidget* window = units::widget_of(runtime::live_unit(units::kMainWindowId, 0));
    boxes.push_back({request, window && window->isVisible()});
    return platform::DialogButton::Ok;
}

std::string FakeDialogs::browse_for_folder(const platform::FolderRequest& request) {
    folder_titles.push_back(request.title);
    if (folders.empty()) {
        return {};
    }
    std::string folder = folders.front();
    folders.pop_front();
    return folder;
}

bool FakePower::request(platform::PowerRequest what, bool force) {
    requests.push_back(what);
    forced.push_back(force);
    return false;  // refused, as by a system that does not let this user power off
}

void PlayerWindowTest::SetUp() {
    qt_application();
    std::string pattern = (fs::temp_directory_path() / "wavlon_player_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    m_root = pattern;
    m_program = m_root / "program";
    fs::create_directories(m_program);
    runtime::set_run_directory_for_tests(runtime::from_utf8(m_program.string()));
    // The user's settings folder, should the program folder refuse a write.
    const char* config_home = std::getenv("XDG_CONFIG_HOME");
    m_previous_config_home = config_home ? std::optional<std::string>(config_home) : std::nullopt;
    ::setenv("XDG_CONFIG_HOME", (m_root / "config").c_str(), 1);
    m_previous_dialogs = platform::set_dialog_backend(&m_dialogs);
    m_previous_power = platform::set_power_backend(&m_power);
    set_online(false);
    player::reset_program_state();
    app::prepare_main_window();
}

void PlayerWindowTest::TearDown() {
    runtime::uninstall_window_template();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    platform::set_dialog_backend(m_previous_dialogs);
    platform::set_power_backend(m_previous_power);
    platform::set_network_check_url({});
    runtime::set_run_directory_for_tests({});
    if (m_previous_config_home) {
        ::setenv("XDG_CONFIG_HOME", m_previous_config_home->c_str(), 1);
    } else {
        ::unsetenv("XDG_CONFIG_HOME");
    }
    std::error_code ignored;
    fs::remove_all(m_root, ignored);
}

void PlayerWindowTest::start() {
    app::load_main_window();
    ASSERT_NE(widget_of_main(), nullptr);
}

void PlayerWindowTest::set_online(bool online) {
    static LocalHttpServer server([](const HttpRequest&) { return HttpReply::ok("ok"); });
    platform::set_network_check_url(
        online ? server.url()
               : "http://127.0.0.1:" + std::to_string(LocalHttpServer::refused_port()) + "/");
}

std::string PlayerWindowTest::make_folder(const std::string& name,
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

void PlayerWindowTest::store_folder(const std::string& folder) {
    ASSERT_TRUE(runtime::write_config_item(runtime::from_utf8(config_path().string()), "config",
                                           runtime::from_utf8("路径"), runtime::from_utf8(folder)));
}

std::string PlayerWindowTest::config_bytes() const {
    std::ifstream in(config_path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

QWidget* PlayerWindowTest::widget_of_main() const {
    return units::widget_of(runtime::live_unit(units::kMainWindowId, 0));
}

QWidget* PlayerWindowTest::widget(const char* name) const {
    QWidget* window = widget_of_main();
    QWidget* found = window ? window->findChild<QWidget*>(QString::fromUtf8(name)) : nullptr;
    EXPECT_NE(found, nullptr) << name;
    return found;
}

void PlayerWindowTest::click(const char* name) {
    QWidget* button = widget(name);
    ASSERT_NE(button, nullptr);
    const QPointF at = QRectF(button->rect()).center();
    QMouseEvent press(QEvent::MouseButtonPress, at, button->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(button, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, button->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(button, &release);
}

void PlayerWindowTest::click_item(int row) {
    auto* list = qobject_cast<QListWidget*>(widget("列表框1"));
    ASSERT_NE(list, nullptr);
    ASSERT_LT(row, list->count());
    list->scrollToItem(list->item(row));
    const QPointF at = QRectF(list->visualItemRect(list->item(row))).center();
    QWidget* viewport = list->viewport();
    QMouseEvent press(QEvent::MouseButtonPress, at, viewport->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, viewport->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &release);
}

void PlayerWindowTest::double_click_result(int row) {
    QTreeWidget* tree = units::超级列表框1->tree();
    QWidget* viewport = tree->viewport();
    const QPoint at = tree->visualItemRect(tree->topLevelItem(row)).center();
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                              QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
        const bool down = type != QEvent::MouseButtonRelease;
        QMouseEvent event(type, QPointF(at), QPointF(viewport->mapToGlobal(at)), Qt::LeftButton,
                          down ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    }
}

void PlayerWindowTest::drag_slider(const char* name, int value) {
    auto* slider = qobject_cast<QSlider*>(widget(name));
    ASSERT_NE(slider, nullptr);
    // Each step of a thumb drag moves the slider position this way.
    slider->setSliderPosition(value);
}

bool PlayerWindowTest::wait_until(const std::function<bool()>& done, int ms) {
    return process_events_until(done, ms);
}

void PlayerWindowTest::wait_ms(int ms) {
    process_events_until([] { return false; }, ms);
}

bool PlayerWindowTest::enabled(const char* name) const {
    QWidget* found = widget(name);
    return found && found->isEnabled();
}

}  // namespace wavlon::testing
