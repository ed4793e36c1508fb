// The media player and system volume units: the devices inside a window, reached by unit id.
#include "runtime/units/media_play_unit.h"
#include "runtime/units/sys_volume_unit.h"
#include "runtime/units/timer_unit.h"
#include "support/fatal_capture.h"
#include "support/main_window_driver.h"
#include "support/pulse_server.h"
#include "support/qt_app.h"

namespace wavlon::testing {
namespace {

using namespace runtime;
using units::MediaPlayUnit;
using units::SysVolumeUnit;

constexpr std::uint32_t kPlayer = 0x16012BFF;
constexpr std::uint32_t kVolume = 0x160157AC;

class DeviceUnits : public UnitWindowTest {
protected:
    void SetUp() override {
        UnitWindowTest::SetUp();
        load({{kVolume, record(unit_types::kSysVolume, "系统音量1", {24, 592, 32, 32}, {}, 0)},
              {kPlayer, record(unit_types::kMediaPlay, "媒体播放1", {0, 592, 24, 32}, {}, 0)}});
    }
};

TEST_F(DeviceUnits, DevicesAreReachedThroughTheirUnitsAndNeverShown) {
    MediaPlayUnit& player = unit<MediaPlayUnit>(kPlayer);
    EXPECT_EQ(player->get_state(), 0);  // nothing open yet
    EXPECT_EQ(player->record().alias.size(), 32u);
    EXPECT_FALSE(player.visible());
    EXPECT_EQ(player.rect(), (UnitRect{0, 592, 24, 32}));
}

TEST_F(DeviceUnits, VolumeChangedByAnotherProgramRaisesTheUnitsEvent) {
    DefaultSinkGuard restore;
    SysVolumeUnit& volume = unit<SysVolumeUnit>(kVolume);
    ASSERT_EQ(volume->select_line(4), 1);
    pactl("set-sink-volume @DEFAULT_SINK@ 23%");
    ASSERT_TRUE(process_events_until([&] { return events_of(kVolume, 0) >= 1; }, 5000));
}

TEST_F(DeviceUnits, UnitOfAnotherTypeOrOfAWindowNotLoadedIsFatal) {
    EXPECT_EQ(fatal_text_of([&] { unit<SysVolumeUnit>(kPlayer); }),
              "运行时出错!\r\n\r\n错误代码：5\r\n\r\n错误信息：数据或数组类型不匹配\r\n\r\n"
              "1375797249, 369175551\r\n\"\"\r\n\"媒体播放1\"\r\n");
    EXPECT_EQ(fatal_text_of([&] { units::unit_as<MediaPlayUnit>(0x52010002, kPlayer); }),
              "运行时出错!\r\n\r\n错误信息：未载入欲访问窗口组件所在的窗口\r\n\r\n1375797250, "
              "369175551\r\n未找到所指定的窗口\r\n");
}

}  // namespace
}  // namespace wavlon::testing
