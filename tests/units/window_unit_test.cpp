#include "runtime/units/window_unit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMessageBox>
#include <QTimer>
#include <QWindow>

#include "runtime/message_loop.h"
#include "runtime/unit_properties.h"
#include "runtime/units/button_unit.h"
#include "runtime/window_loader.h"
#include "support/main_window_driver.h"
#include "support/qt_app.h"

namespace wavlon::testing {
namespace {

using namespace runtime;
using units::WindowUnit;

constexpr std::uint32_t kButton = 0x16010004;

class Window : public UnitWindowTest {
protected:
    void load_with_button(UnitRect button_rect = {376, 8, 104, 32}) {
        ButtonBlock button;
        button.caption = "浏览本地目录"_gb;
        button.font = make_font("微软雅黑"_gb, 16, false);
        WindowFormBlock window;
        window.caption = "Wavlon"_gb;
        load({{kButton, record(unit_types::kButton, "按钮1", button_rect, encode_block(button),
                               kFlagVisible | kFlagTabStop)}},
             window);
    }
    QWidget* window_widget() { return unit<WindowUnit>(0).widget(); }
};

TEST_F(Window, FixedBorderWithMinimiseButtonAndTheStoredCaption) {
    load_with_button();
    QWidget* window = window_widget();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(window->minimumSize(), window->maximumSize());  // not resizable
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Wavlon"));
    EXPECT_EQ(*read_unit_property(kWindow, 0, WindowUnit::kCaption).get<Text>(), "Wavlon"_gb);
    write_unit_property(kWindow, 0, WindowUnit::kCaption, Value::text("正在播放：一"_gb));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("正在播放：一"));
}

TEST_F(Window, UnitsSitInTheClientAreaUnderTheirTemplateNames) {
    load_with_button();
    QWidget* button = unit<units::ButtonUnit>(kButton).widget();
    EXPECT_EQ(button->objectName(), QStringLiteral("按钮1"));
    EXPECT_EQ(button->parentWidget(), window_widget());
    EXPECT_EQ(button->geometry(), QRect(376, 8, 104, 32));
    EXPECT_TRUE(button->isVisible());
    EXPECT_EQ(button->font().pixelSize(), 16);
    EXPECT_EQ(window_widget()->font().pixelSize(), 12);  // the default for units without one
}

TEST_F(Window, ClientAreaIsTheOuterSizeLessTheFrameButHoldsEveryUnit) {
    load_with_button();
    QWidget* window = window_widget();
    QMargins frame = window->windowHandle()->frameMargins();
    EXPECT_EQ(window->size(),
              QSize(640 - frame.left() - frame.right(), 480 - frame.top() - frame.bottom()));
    uninstall_window_template();
    load_with_button({600, 450, 100, 40});
    EXPECT_GE(window_widget()->width(), 700);
    EXPECT_GE(window_widget()->height(), 490);
}

TEST_F(Window, UserClosingDestroysTheWindowFromTheLoopAndEndsIt) {
    load_with_button();
    QTimer::singleShot(0, window_widget(), [this] { window_widget()->close(); });
    run_message_loop();  // returns because the last window has gone
    EXPECT_FALSE(window_exists(kWindow));
    EXPECT_FALSE(message_loop_running());
    // A closed window can be loaded again.
    ASSERT_TRUE(load_window(kWindow));
    EXPECT_TRUE(window_widget()->isVisible());
}

TEST_F(Window, MessageLoopReturnsAtOnceWithoutWindows) {
    run_message_loop();
    EXPECT_FALSE(message_loop_running());
}

TEST_F(Window, MessageBoxOfTheCreationRoutineDoesNotEndTheProgram) {
    bool shown_before_box = true;
    m_on_created = [&] {
        shown_before_box = window_widget()->isVisible();
        QMessageBox box(QMessageBox::Information, "信息：", "请检测网络通讯连接是否正常");
        QTimer::singleShot(50, &box, &QMessageBox::accept);
        box.exec();
    };
    load_with_button();
    EXPECT_FALSE(shown_before_box);
    EXPECT_TRUE(window_exists(kWindow));
    EXPECT_TRUE(window_widget()->isVisible());
    // The loop still runs until the window goes, not until the box went.
    bool still_there_later = false;
    QTimer::singleShot(100, window_widget(), [&] {
        still_there_later = window_exists(kWindow);
        window_widget()->close();
    });
    run_message_loop();
    EXPECT_TRUE(still_there_later);
    EXPECT_FALSE(window_exists(kWindow));
}

}  // namespace
}  // namespace wavlon::testing
