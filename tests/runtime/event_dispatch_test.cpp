#include "runtime/event_dispatch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fake_units.h"
#include "runtime/event_suppression.h"
#include "runtime/message_loop.h"
#include "runtime/window_loader.h"
#include "support/fatal_capture.h"

namespace wavlon::testing {
namespace {

using namespace runtime;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr std::uint32_t kWindow = 0x52010001;
constexpr std::uint32_t kButton = 0x16000001;
constexpr std::uint32_t kLinked = 0x16000002;
constexpr std::uint32_t kOtherType = 0x16000003;
constexpr std::uint32_t kMute = 0x16000004;
constexpr std::uint32_t kNoRoutine = 0x16000005;
constexpr std::uint32_t kNotWritten = 0x16000006;

class EventDispatch : public WindowRuntimeTest {
protected:
    void SetUp() override {
        WindowRuntimeTest::SetUp();
        UnitRecord button = fake_record(kFakeButton, "按钮1");
        button.events = {{0, kClick}, {-3, kOther}};
        UnitRecord linked = fake_record(kFakeButton, "按钮2");
        linked.event_link = kButton;  // same type: uses 按钮1's bindings
        linked.events = {{0, kOther}};
        UnitRecord other_type = fake_record(kFakeOther, "编辑框1");
        other_type.event_link = kButton;  // another type: keeps its own bindings
        other_type.events = {{0, kOther}};
        UnitRecord no_routine = fake_record(kFakeButton, "按钮3");
        no_routine.events = {{0, kNoHandler}};
        UnitRecord not_written = fake_record(kFakeButton, "按钮4");
        not_written.events = {{0, kMissing}};
        install({fake_window(kWindow, {{kButton, button},
                                       {kLinked, linked},
                                       {kOtherType, other_type},
                                       {kMute, fake_record(kFakeMute, "标签1")},
                                       {kNoRoutine, no_routine},
                                       {kNotWritten, not_written}})});
        ASSERT_TRUE(load_window(kWindow));
    }
};

TEST_F(EventDispatch, CallsTheBoundRoutineWithTheUnitAsCurrentSourceAndReturnsItsResult) {
    Value result = dispatch_event(kWindow, kButton, 0);
    EXPECT_THAT(m_calls, ElementsAre("on_click 52010001/16000001"));
    ASSERT_TRUE(result.get<std::int32_t>());
    EXPECT_EQ(*result.get<std::int32_t>(), 1);
    EXPECT_FALSE(current_event_source());
    dispatch_event(kWindow, kButton, -3);
    EXPECT_EQ(m_calls.back(), "on_other 52010001/16000001");
}

TEST_F(EventDispatch, EventLinkIsFollowedOnlyToAUnitOfTheSameType) {
    dispatch_event(kWindow, kLinked, 0);
    dispatch_event(kWindow, kOtherType, 0);
    EXPECT_THAT(m_calls, ElementsAre("on_click 52010001/16000002", "on_other 52010001/16000003"));
}

TEST_F(EventDispatch, UnboundEventsAndMissingRoutinesRaiseNothing) {
    EXPECT_TRUE(dispatch_event(kWindow, kNoRoutine, 0).empty());
    EXPECT_TRUE(dispatch_event(kWindow, kNotWritten, 0).empty());
    EXPECT_TRUE(dispatch_event(kWindow, kButton, 7).empty());
    EXPECT_THAT(m_calls, IsEmpty());
}

TEST_F(EventDispatch, NothingRunsWhileEventsAreSuppressed) {
    {
        EventSuppression suppression;
        EXPECT_TRUE(dispatch_event(kWindow, kButton, 0).empty());
        // Not even the checks: an unknown window is not reported either.
        EXPECT_TRUE(dispatch_event(0x52990000, kButton, 0).empty());
    }
    EXPECT_THAT(m_calls, IsEmpty());
}

TEST_F(EventDispatch, UnknownWindowUnitOrSilentTypeIsFatal) {
    struct Case {
        std::uint32_t window;
        std::uint32_t unit;
        std::string text;
    };
    const Case cases[] = {
        {0x52010009, kButton,
         "运行时出错!\r\n\r\n错误信息：未找到引发事件的窗口\r\n\r\n1375797257, 369098753\r\n"
         "未找到所指定的窗口\r\n"},
        {kWindow, 0x16000099,
         "运行时出错!\r\n\r\n错误信息：未找到引发事件的窗口组件\r\n\r\n1375797249, "
         "369098905\r\n\"\"\r\n未找到所指定的窗口组件\r\n"},
        {kWindow, kMute,
         "运行时出错!\r\n\r\n错误信息：引发事件的窗口组件无效\r\n\r\n1375797249, 369098756\r\n"
         "\"\"\r\n\"标签1\"\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fatal_text_of([&] { dispatch_event(c.window, c.unit, 0); }), c.text);
    }
    EXPECT_THAT(m_calls, IsEmpty());
}

TEST_F(EventDispatch, RoutineMayCloseTheWindowOfTheUnitThatRaisedTheEvent) {
    UnitRecord button = fake_record(kFakeButton, "按钮1");
    button.events = {{0, kCreated}};
    install({fake_window(kWindow, {{kButton, button}})});
    ASSERT_TRUE(load_window(kWindow));
    journal().clear();
    m_on_created = [] {
        close_window(kWindow);
        // The raising unit outlives its routine: it goes when the routine has returned.
        EXPECT_FALSE(journal().contains("destroy 按钮1"));
    };
    dispatch_event(kWindow, kButton, 0);
    runtime::process_pending_events();  // with a message loop the unit goes from there
    EXPECT_TRUE(journal().contains("destroy 按钮1"));
    EXPECT_FALSE(window_exists(kWindow));
}

}  // namespace
}  // namespace wavlon::testing
