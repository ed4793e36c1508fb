#include "runtime/units/timer_unit.h"

#include "runtime/unit_properties.h"
#include "support/main_window_driver.h"
#include "support/qt_app.h"

namespace wavlon::testing {
namespace {

using namespace runtime;
using units::TimerUnit;

constexpr std::uint32_t kStopped = 0x16018551;
constexpr std::uint32_t kTicking = 0x16010008;

class Timer : public UnitWindowTest {
protected:
    void SetUp() override {
        UnitWindowTest::SetUp();
        TimerBlock stopped;
        stopped.interval_ms = 0;
        TimerBlock ticking;
        ticking.interval_ms = 20;
        load({{kStopped,
               record(unit_types::kTimer, "时钟4", {160, 624, 48, 40}, encode_block(stopped), 0)},
              {kTicking,
               record(unit_types::kTimer, "时钟1", {0, 624, 56, 40}, encode_block(ticking), 0)}});
    }
    std::int32_t interval(std::uint32_t timer) {
        return *read_unit_property(kWindow, timer, TimerUnit::kInterval).get<std::int32_t>();
    }
};

TEST_F(Timer, IntervalZeroDoesNotTickAndAPositiveOneDoes) {
    EXPECT_EQ(interval(kStopped), 0);
    EXPECT_EQ(interval(kTicking), 20);
    ASSERT_TRUE(process_events_until([&] { return events_of(kTicking, 0) >= 3; }, 5000));
    EXPECT_EQ(events_of(kStopped, 0), 0);
}

TEST_F(Timer, WritingTheIntervalStartsAndStopsTheTicks) {
    write_unit_property(kWindow, kTicking, TimerUnit::kInterval, Value::integer(0));
    write_unit_property(kWindow, kStopped, TimerUnit::kInterval, Value::integer(15));
    EXPECT_FALSE(unit<TimerUnit>(kTicking).ticking());
    ASSERT_TRUE(process_events_until([&] { return events_of(kStopped, 0) >= 2; }, 5000));
    int ticks = events_of(kTicking, 0);
    write_unit_property(kWindow, kStopped, TimerUnit::kInterval, Value::integer(-1));
    EXPECT_EQ(interval(kStopped), 0);
    int stopped_ticks = events_of(kStopped, 0);
    process_events_until([] { return false; }, 100);
    EXPECT_EQ(events_of(kStopped, 0), stopped_ticks);
    EXPECT_EQ(events_of(kTicking, 0), ticks);
}

TEST_F(Timer, TimersAreNeverShown) {
    write_unit_property(kWindow, kTicking, 5, Value::logical(true));
    EXPECT_FALSE(*read_unit_property(kWindow, kTicking, 5).get<bool>());
}

}  // namespace
}  // namespace wavlon::testing
