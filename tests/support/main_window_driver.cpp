// The part of the driver that any main window needs: loading one built from unit records,
// finding and driving its widgets, waiting, and unloading. The program's own window is set up
// in main_window_program.cpp, so that the unit tests do not link the program.
#include "support/main_window_driver.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QSlider>
#include <QTreeWidget>

#include "runtime/event_dispatch.h"
#include "runtime/routine.h"
#include "runtime/template_format.h"
#include "runtime/units/standard_units.h"
#include "unit_look.h"
#include "widget_unit.h"
#include "runtime/window_loader.h"
#include "runtime/window_table.h"
#include "support/qt_app.h"

namespace wavlon::testing {

using namespace runtime;

namespace {

// A press and a release of the left button at `at` in `target`'s coordinates.
void left_click(QWidget* target, QPointF at) {
    QMouseEvent press(QEvent::MouseButtonPress, at, target->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, target->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

}  // namespace

platform::DialogButton FakeDialogs::message_box(const platform::MessageBoxRequest& request) {
    QWidget* window = units::widget_of(live_unit(MainWindowDriver::kWindow, 0));
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

void send_event(QObject* receiver, QEvent& event) {
    QApplication::sendEvent(receiver, &event);
}

void MainWindowDriver::set_up_unit_window() {
    qt_application();
    units::install_font_substitutions();
    units::register_standard_units();
}

UnitRecord MainWindowDriver::record(std::uint32_t type, const char* name, UnitRect rect,
                                    std::vector<std::uint8_t> block, std::uint32_t flags) {
    UnitRecord r;
    r.type = type;
    r.name = utf8_to_gbk(name);
    r.left = rect.left;
    r.top = rect.top;
    r.width = rect.width;
    r.height = rect.height;
    r.flags = flags;
    r.type_block = std::move(block);
    r.events = {{0, 0}, {-3, 1}};
    return r;
}

void MainWindowDriver::load(std::vector<std::pair<std::uint32_t, UnitRecord>> units,
                            WindowFormBlock window) {
    WindowBlock block;
    block.id = kWindow;
    UnitRecord own;
    own.type = unit_types::kWindow;
    own.left = 50;
    own.top = 50;
    own.width = 640;
    own.height = 480;
    own.flags = kFlagVisible;
    own.type_block = encode_block(window);
    own.events = {{0, 2}};
    block.store.ids.push_back(0x06010000);
    block.store.records.push_back(own);
    for (auto& [id, r] : units) {
        block.store.ids.push_back(id);
        block.store.records.push_back(std::move(r));
    }
    WindowTemplate window_template;
    window_template.windows.push_back(std::move(block));
    static const char* const kNames[] = {"event", "double_click", "created"};
    install_window_template(encode_template(window_template), kNames,
                            [this](std::string_view name) -> Routine {
                                if (name == "created") {
                                    return [this](std::span<const Value>) {
                                        if (m_on_created) {
                                            m_on_created();
                                        }
                                        return Value{};
                                    };
                                }
                                std::int32_t event = name == "event" ? 0 : -3;
                                return [this, event](std::span<const Value>) {
                                    m_events.emplace_back(current_event_source()->unit_id, event);
                                    return Value{};
                                };
                            });
    ASSERT_TRUE(load_window(kWindow));
}

int MainWindowDriver::events_of(std::uint32_t unit_id, std::int32_t event) const {
    int count = 0;
    for (auto [unit, e] : m_events) {
        count += unit == unit_id && e == event;
    }
    return count;
}

void MainWindowDriver::tear_down() {
    uninstall_window_template();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    if (m_put_back) {
        m_put_back();
        m_put_back = {};
    }
    m_sink.reset();
}

QWidget* MainWindowDriver::widget_of_main() const {
    return units::widget_of(live_unit(kWindow, 0));
}

QWidget* MainWindowDriver::widget(const char* name) const {
    QWidget* window = widget_of_main();
    QWidget* found = window ? window->findChild<QWidget*>(QString::fromUtf8(name)) : nullptr;
    EXPECT_NE(found, nullptr) << name;
    return found;
}

bool MainWindowDriver::enabled(const char* name) const {
    QWidget* found = widget(name);
    return found && found->isEnabled();
}

void MainWindowDriver::click(const char* name) {
    QWidget* button = widget(name);
    ASSERT_NE(button, nullptr);
    click_widget(button);
}

void MainWindowDriver::click_item(int row) {
    auto* list = qobject_cast<QListWidget*>(widget("列表框1"));
    ASSERT_NE(list, nullptr);
    click_list_row(list, row);
}

void MainWindowDriver::double_click_result(int row) {
    auto* tree = qobject_cast<QTreeWidget*>(widget("超级列表框1"));
    ASSERT_NE(tree, nullptr);
    double_click_tree_row(tree, row);
}

void MainWindowDriver::drag_slider(const char* name, int value) {
    auto* slider = qobject_cast<QSlider*>(widget(name));
    ASSERT_NE(slider, nullptr);
    // Each step of a thumb drag moves the slider position this way.
    slider->setSliderPosition(value);
}

void MainWindowDriver::type_text(const char* name, const std::string& utf8) {
    auto* edit = qobject_cast<QLineEdit*>(widget(name));
    ASSERT_NE(edit, nullptr);
    edit->end(false);
    QInputMethodEvent event;
    event.setCommitString(QString::fromUtf8(utf8));
    QApplication::sendEvent(edit, &event);
}

void MainWindowDriver::click_widget(QWidget* widget) {
    left_click(widget, QRectF(widget->rect()).center());
}

void MainWindowDriver::click_list_row(QListWidget* list, int row) {
    ASSERT_LT(row, list->count());
    list->scrollToItem(list->item(row));
    left_click(list->viewport(), QRectF(list->visualItemRect(list->item(row))).center());
}

void MainWindowDriver::double_click_tree_row(QTreeWidget* tree, int row) {
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

bool MainWindowDriver::wait_until(const std::function<bool()>& done, int ms) {
    return process_events_until(done, ms);
}

void MainWindowDriver::wait_ms(int ms) {
    process_events_until([] { return false; }, ms);
}

}  // namespace wavlon::testing
