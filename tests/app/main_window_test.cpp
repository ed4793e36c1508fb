// The real main window, loaded offscreen from the compiled template with the app's routines.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QScreen>
#include <QTreeWidget>

#include "app/application.h"
#include "app/event_table.h"
#include "app/main_window_template.h"
#include "app/main_window_units.h"
#include "platform/dialogs.h"
#include "runtime/conversions.h"
#include "runtime/event_dispatch.h"
#include "runtime/system_commands.h"
#include "runtime/unit_properties.h"
#include "runtime/window_loader.h"
#include "runtime/window_table.h"
#include "support/main_window_driver.h"
#include "support/qt_app.h"
#include "unit_look.h"

namespace wavlon::app {
namespace {

using namespace runtime;
using namespace units;

class MainWindow : public testing::MainWindowTest {
protected:
    void start(bool online) {
        set_online(online);
        MainWindowTest::start();
    }

    static Text text_of(const Value& value) { return value.get<Text>() ? *value.get<Text>() : "?"; }
    static bool logical_of(std::uint32_t unit, int index) {
        return *read_unit_property(kMainWindowId, unit, index).get<bool>();
    }
};

struct ExpectedUnit {
    const char* name;
    std::uint32_t id;
    int left, top, width, height;
    bool visible, enabled;
    int text_property;  // -1: none
    const char* text;
    int interval;  // timers only, else -1
};

// clang-format off
const ExpectedUnit kUnits[] = {
    // name         id          left  top  width height visible enabled text             interval
    {"透明标签17", 0x1601858D,  544, 632, 192, 24, true,  true,  8,  "播放进度（可控制）", -1},
    {"透明标签18", 0x16018563,  544, 384, 136, 16, false, true,  8,  "倒计时已停止", -1},
    {"按钮9",      0x16018559,  520, 336, 176, 32, false, true,  10, "倒计时开始", -1},
    {"时钟4",      0x16018551,  160, 624, 48,  40, false, true,  -1, nullptr, 0},
    {"透明标签14", 0x1601854B,  456, 240, 16,  24, false, true,  8,  "时", -1},
    {"透明标签15", 0x1601854C,  456, 272, 16,  24, false, true,  8,  "分", -1},
    {"透明标签16", 0x1601854D,  456, 304, 16,  24, false, true,  8,  "秒", -1},
    {"编辑框5",    0x1601854E,  480, 240, 256, 24, false, true,  8,  "", -1},
    {"编辑框6",    0x1601854F,  480, 272, 256, 24, false, true,  8,  "", -1},
    {"编辑框7",    0x16018550,  480, 304, 256, 24, false, true,  8,  "", -1},
    {"透明标签13", 0x1601854A,  912, 72,  232, 16, true,  true,  8,  "播放列表（双击播放并加入到本地列表）", -1},
    {"透明标签12", 0x16018549,  824, 48,  376, 32, true,  true,  8,  "搜索网络歌曲，URL地址没有的不能播放", -1},
    {"透明标签11", 0x160184D8,  896, 472, 256, 32, true,  true,  -1, nullptr, -1},
    {"编辑框4",    0x1601849D,  856, 520, 352, 32, false, true,  8,  "", -1},
    {"按钮8",      0x16015901,  1136, 8,  96,  32, true,  true,  10, "搜索网络歌曲", -1},
    {"编辑框3",    0x16015900,  808, 8,   320, 32, true,  true,  8,  "", -1},
    {"超级列表框1", 0x160158FF, 808, 88,  416, 376, true, true,  -1, nullptr, -1},
    {"按钮7",      0x160158DF,  720, 336, 64,  32, true,  true,  10, "定时关机", -1},
    {"按钮6",      0x16015834,  576, 56,  40,  24, true,  true,  10, "静音", -1},
    {"透明标签10", 0x16015832,  520, 32,  24,  8,  true,  true,  8,  "LOW", -1},
    {"透明标签9",  0x16015831,  640, 32,  24,  8,  true,  true,  8,  "HIGH", -1},
    {"透明标签8",  0x16015830,  584, 8,   24,  16, true,  true,  8,  "音量", -1},
    {"透明标签7",  0x1601582F,  216, 608, 48,  16, true,  true,  8,  "00:00", -1},
    {"透明标签5",  0x1601582D,  152, 72,  128, 16, true,  true,  8,  "播放列表（单击播放）", -1},
    {"透明标签3",  0x1601582B,  24,  48,  376, 32, true,  true,  8,  "请先点击浏览文件选项找到需播放的文件", -1},
    {"透明标签2",  0x1601582A,  8,   520, 248, 32, true,  true,  -1, nullptr, -1},
    {"透明标签1",  0x16015829,  1024, 608, 56, 16, true,  true,  8,  "00:00", -1},
    {"编辑框1",    0x160157E2,  56,  8,   312, 32, true,  false, 8,  "", -1},
    {"按钮5",      0x160157DC,  640, 168, 80,  40, true,  true,  10, "下一首", -1},
    {"按钮4",      0x160157DB,  464, 168, 80,  40, true,  true,  10, "上一首", -1},
    {"滑块条2",    0x160157AE,  544, 24,  96,  32, true,  true,  -1, nullptr, -1},
    {"系统音量1",  0x160157AC,  24,  592, 32,  32, false, true,  -1, nullptr, -1},
    {"媒体播放1",  0x16012BFF,  0,   592, 24,  32, false, true,  -1, nullptr, -1},
    {"时钟3",      0x16012BFC,  112, 624, 48,  40, false, true,  -1, nullptr, 500},
    {"滑块条1",    0x16012BD0,  264, 608, 752, 24, true,  true,  -1, nullptr, -1},
    {"列表框1",    0x16010078,  8,   88,  408, 376, true,  true,  -1, nullptr, -1},
    {"编辑框2",    0x1601001F,  56,  8,   312, 32, false, false, 8,  "", -1},
    {"时钟2",      0x16010009,  56,  624, 56,  40, false, true,  -1, nullptr, 300},
    {"时钟1",      0x16010008,  0,   624, 56,  40, false, true,  -1, nullptr, 1000},
    {"按钮3",      0x16010006,  664, 96,  80,  40, true,  true,  10, "停 止", -1},
    {"按钮2",      0x16010005,  432, 96,  80,  40, true,  true,  10, "播 放", -1},
    {"按钮1",      0x16010004,  376, 8,   104, 32, true,  true,  10, "浏览本地目录", -1},
};
// clang-format on

std::int32_t integer(std::uint32_t unit, int index) {
    return *read_unit_property(kMainWindowId, unit, index).get<std::int32_t>();
}

TEST_F(MainWindow, EveryUnitHasItsStoredPlaceStateTextAndInterval) {
    start(true);
    for (const ExpectedUnit& u : kUnits) {
        SCOPED_TRACE(u.name);
        ASSERT_NE(live_unit(kMainWindowId, u.id), nullptr);
        EXPECT_EQ(integer(u.id, property::kLeft), u.left);
        EXPECT_EQ(integer(u.id, property::kTop), u.top);
        EXPECT_EQ(integer(u.id, property::kWidth), u.width);
        EXPECT_EQ(integer(u.id, property::kHeight), u.height);
        EXPECT_EQ(logical_of(u.id, property::kVisible), u.visible);
        EXPECT_EQ(!logical_of(u.id, property::kDisabled), u.enabled);
        if (u.text_property >= 0) {
            EXPECT_EQ(
                gbk_to_utf8(text_of(read_unit_property(kMainWindowId, u.id, u.text_property))),
                u.text);
        }
        if (u.interval >= 0) {
            EXPECT_EQ(integer(u.id, TimerUnit::kInterval), u.interval);
        }
        if (QWidget* widget = widget_of(live_unit(kMainWindowId, u.id))) {
            EXPECT_EQ(widget->objectName().toStdString(), u.name);
        }
    }
    // 滑块条2 takes the mixer's range at start-up; 滑块条1 keeps its stored one until a track.
    for (std::uint32_t slider : {0x16012BD0u}) {
        EXPECT_EQ(integer(slider, SliderBarUnit::kMinimum), 0);
        EXPECT_EQ(integer(slider, SliderBarUnit::kMaximum), 100);
        EXPECT_EQ(integer(slider, SliderBarUnit::kPosition), 0);
    }
    EXPECT_EQ(text_of(启动窗口.read(WindowUnit::kCaption)), "Wavlon");
    auto* results = static_cast<QTreeWidget*>(超级列表框1->widget());
    ASSERT_EQ(results->columnCount(), 4);
    EXPECT_EQ(results->headerItem()->text(0), QStringLiteral("序号"));
    EXPECT_EQ(results->header()->sectionSize(0), 0);
}

TEST_F(MainWindow, ClientAreaHoldsEveryUnitAndTheWindowShowsFixedAndCentred) {
    start(true);
    QWidget* window = 启动窗口->widget();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->minimumSize(), window->maximumSize());
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(window->frameGeometry().size(), QSize(1242, 694));
    QRect client = window->rect();
    for (const ExpectedUnit& u : kUnits) {
        if (QWidget* widget = widget_of(live_unit(kMainWindowId, u.id))) {
            EXPECT_TRUE(client.contains(widget->geometry())) << u.name;
        }
    }
    QRect screen = window->screen()->availableGeometry();
    EXPECT_LE(std::abs(window->frameGeometry().center().x() - screen.center().x()), 1);

    QString folder = QCoreApplication::applicationDirPath() + "/screenshots";
    QDir().mkpath(folder);
    EXPECT_TRUE(window->grab().save(folder + "/main_window.png"));
}

TEST_F(MainWindow, StoredFacesAreDrawnWithTheInstalledStandIns) {
    start(true);
    struct Case {
        QWidget* widget;
        const char* family;
        int pixels;
    };
    const Case cases[] = {
        {透明标签17->widget(), "WenQuanYi Micro Hei", 20},
        {透明标签13->widget(), "AR PL UMing CN", 12},
        {透明标签11->widget(), "AR PL UMing CN", 16},
        {透明标签12->widget(), "AR PL UKai CN", 19},
        {按钮1->widget(), "WenQuanYi Micro Hei", 16},
        {列表框1->widget(), "AR PL UMing CN", 20},
    };
    for (const Case& c : cases) {
        QFontInfo info(c.widget->font());
        EXPECT_EQ(info.family().toStdString(), c.family) << c.widget->objectName().toStdString();
        EXPECT_EQ(info.pixelSize(), c.pixels) << c.widget->objectName().toStdString();
    }
}

TEST(Application, NamesItselfForTheDesktopAndCarriesEveryIconSize) {
    testing::qt_application();
    const QString name = QCoreApplication::applicationName();
    set_up_application();
    EXPECT_EQ(QCoreApplication::applicationName().toStdString(), "Wavlon");
    EXPECT_EQ(QGuiApplication::desktopFileName().toStdString(), WAVLON_APP_ID);
    QList<QSize> sizes = QApplication::windowIcon().availableSizes();
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
    }
    QCoreApplication::setApplicationName(name);
}

TEST_F(MainWindow, StandInsAreInstalledFamiliesInPreferenceOrder) {
    prepare_main_window();
    for (const FontStandIn& entry : kFontStandIns) {
        SCOPED_TRACE(entry.face);
        QStringList expected;
        for (const char* family : entry.stand_ins) {
            EXPECT_TRUE(QFontDatabase::hasFamily(QString::fromUtf8(family))) << family;
            expected << QString::fromUtf8(family).toLower();  // Qt keeps them lower-cased
        }
        EXPECT_EQ(QFont::substitutes(QString::fromUtf8(entry.face)), expected);
    }
}

// Captions that do not fit their unit at the stored size are listed here, as they are: the
// layout is the stored one.
TEST_F(MainWindow, CaptionsFitTheirUnitsExceptTheKnownTightOnes) {
    start(true);
    std::vector<std::string> too_wide;
    std::vector<std::string> too_tall;
    for (const ExpectedUnit& u : kUnits) {
        auto* label = dynamic_cast<TransLabelUnit*>(live_unit(kMainWindowId, u.id));
        auto* button = dynamic_cast<ButtonUnit*>(live_unit(kMainWindowId, u.id));
        if (!label && !button) {
            continue;
        }
        QWidget* widget = widget_of(live_unit(kMainWindowId, u.id));
        QString text = to_qstring(label ? label->caption() : button->caption());
        QFontMetrics metrics(widget->font());
        int room = widget->width() - (button ? 4 : 0);  // a button's frame takes 2 px a side
        if (metrics.horizontalAdvance(text) > room) {
            too_wide.push_back(u.name);
        }
        if (metrics.height() > widget->height()) {
            too_tall.push_back(u.name);
        }
    }
    EXPECT_EQ(too_wide, std::vector<std::string>{});
    EXPECT_EQ(too_tall, (std::vector<std::string>{"透明标签10", "透明标签9"}));
    // The clock's longest text, not only its stored placeholder.
    QWidget* clock = 透明标签2->widget();
    EXPECT_LE(
        QFontMetrics(clock->font()).horizontalAdvance(QStringLiteral("2020年12月28日23时59分59秒")),
        clock->width());
}

TEST_F(MainWindow, OnlineStartShowsNoMessageEmptiesTheStatusLineAndKeepsSearchEnabled) {
    start(true);
    EXPECT_TRUE(m_dialogs.boxes.empty());
    EXPECT_EQ(透明标签11->caption(), "");
    for (std::uint32_t unit : {编辑框3.unit_id, 超级列表框1.unit_id, 按钮8.unit_id}) {
        EXPECT_FALSE(logical_of(unit, property::kDisabled));
    }
    EXPECT_EQ(gbk_to_utf8(透明标签3->caption()), "请先点击浏览文件选项找到需播放的文件");
}

TEST_F(MainWindow, OfflineStartWarnsOnceBeforeTheWindowShowsAndDisablesSearch) {
    bool window_shown_at_box = true;
    struct Watching final : platform::DialogBackend {
        testing::FakeDialogs* inner;
        bool* shown;
        platform::DialogButton message_box(const platform::MessageBoxRequest& r) override {
            *shown = 启动窗口->widget()->isVisible();
            return inner->message_box(r);
        }
        std::string browse_for_folder(const platform::FolderRequest&) override { return {}; }
    } watching;
    watching.inner = &m_dialogs;
    watching.shown = &window_shown_at_box;
    platform::set_dialog_backend(&watching);
    start(false);
    ASSERT_EQ(m_dialogs.boxes.size(), 1u);
    EXPECT_EQ(m_dialogs.boxes[0].request.text, "请检测网络通讯连接是否正常");
    EXPECT_EQ(m_dialogs.boxes[0].request.caption, "信息：");
    EXPECT_FALSE(window_shown_at_box);
    EXPECT_TRUE(启动窗口->widget()->isVisible());
    for (std::uint32_t unit : {编辑框3.unit_id, 超级列表框1.unit_id, 按钮8.unit_id}) {
        EXPECT_TRUE(logical_of(unit, property::kDisabled));
    }
    EXPECT_EQ(gbk_to_utf8(透明标签11->caption()), "状态：网络错误，网络功能不可用");
    EXPECT_TRUE(logical_of(透明标签11.unit_id, property::kVisible));
}

TEST_F(MainWindow, ClockLabelShowsTheCurrentDateAndTimeWithinASecond) {
    start(true);
    const Text placeholder = "2020年4月21日20:25:25"_gb;
    EXPECT_EQ(透明标签2->caption(), placeholder);
    ASSERT_TRUE(
        testing::process_events_until([&] { return 透明标签2->caption() != placeholder; }, 3000));
    Text before = to_text(Value::date_time(now()));
    dispatch_event(kMainWindowId, 时钟1.unit_id, 0);
    Text after = to_text(Value::date_time(now()));
    Text shown = 透明标签2->caption();
    EXPECT_TRUE(shown == before || shown == after) << gbk_to_utf8(shown);
}

TEST_F(MainWindow, EventTableRowsAreTheTemplatesBindings) {
    auto decoded = decode_template(kMainWindowTemplate);
    ASSERT_TRUE(std::holds_alternative<WindowTemplate>(decoded));
    const UnitStore& store = std::get<WindowTemplate>(decoded).windows.at(0).store;
    for (const EventTableRow& row : main_window_event_table()) {
        SCOPED_TRACE(row.routine_name);
        std::size_t record = 0;
        if (std::string(row.unit) != "启动窗口") {
            auto it =
                std::find_if(store.records.begin(), store.records.end(),
                             [&](const UnitRecord& r) { return gbk_to_utf8(r.name) == row.unit; });
            ASSERT_NE(it, store.records.end());
            record = static_cast<std::size_t>(it - store.records.begin());
        }
        const auto& events = store.records[record].events;
        auto binding = std::find_if(events.begin(), events.end(),
                                    [&](const EventBinding& b) { return b.event == row.event; });
        ASSERT_NE(binding, events.end());
        ASSERT_LT(binding->handler, kMainWindowRoutines.size());
        EXPECT_STREQ(kMainWindowRoutines[binding->handler], row.routine_name);
        EXPECT_TRUE(find_routine(row.routine_name));
    }
    EXPECT_FALSE(find_routine("no_such_routine"));
}

}  // namespace
}  // namespace wavlon::app
