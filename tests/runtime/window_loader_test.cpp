#include "runtime/window_loader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fake_units.h"
#include "runtime/event_suppression.h"
#include "runtime/unit_properties.h"
#include "support/fatal_capture.h"

namespace wavlon::testing {
namespace {

using namespace runtime;
using ::testing::ElementsAre;

constexpr std::uint32_t kWindow = 0x52010001;
constexpr std::uint32_t kSecondWindow = 0x52010002;
constexpr std::uint32_t kA = 0x16000001;
constexpr std::uint32_t kB = 0x16000002;
constexpr std::uint32_t kC = 0x16000003;

UnitRecord with_event(UnitRecord record, std::int32_t event, std::uint32_t handler) {
    record.events.push_back({event, handler});
    return record;
}

WindowBlock window_with_creation_routine(std::uint32_t id,
                                         std::vector<std::pair<std::uint32_t, UnitRecord>> units) {
    WindowBlock block = fake_window(id, std::move(units));
    block.store.records[0].events.push_back({0, WindowRuntimeTest::kCreated});
    return block;
}

using WindowLoading = WindowRuntimeTest;

TEST_F(WindowLoading, CreatesLastRecordFirstWithControlIdsInCreationOrder) {
    install({fake_window(kWindow, {{kA, fake_record(kFakeButton, "A")},
                                   {kB, fake_record(kFakeTimer, "B")},
                                   {kC, fake_record(kFakeButton, "C")}})});
    ASSERT_TRUE(load_window(kWindow));
    std::vector<std::string> creations;
    for (const auto& entry : journal().entries) {
        if (entry.starts_with("create")) {
            creations.push_back(entry);
        }
    }
    EXPECT_THAT(creations,
                ElementsAre("create  0", "create C 100", "create B 110", "create A 120"));
}

TEST_F(WindowLoading, ShowsOnlyVisibleWindowedUnitsAndStacksEarlierRecordsOnTop) {
    install({fake_window(kWindow, {{kA, fake_record(kFakeButton, "A")},
                                   {kB, fake_record(kFakeButton, "B", 0)},
                                   {kC, fake_record(kFakeTimer, "C")}})});
    ASSERT_TRUE(load_window(kWindow));
    EXPECT_TRUE(fake_unit(kWindow, kA)->visible());
    EXPECT_FALSE(fake_unit(kWindow, kB)->visible());
    EXPECT_FALSE(fake_unit(kWindow, kC)->visible());  // non-visual: never shown
    EXPECT_TRUE(journal().contains("top A"));
    EXPECT_TRUE(journal().contains("under B A"));
    EXPECT_FALSE(journal().contains("top C"));
    EXPECT_TRUE(journal().contains("show window"));
}

TEST_F(WindowLoading, PlacesUnitsInTheirParentAndHidesLaterPagesOfAPagedContainer) {
    UnitRecord container = fake_record(kFakeContainer, "P");
    container.children = {kB, 0, kC};
    UnitRecord first_page = fake_record(kFakeButton, "B");
    first_page.parent = kA;
    UnitRecord second_page = fake_record(kFakeButton, "C");
    second_page.parent = kA;
    install({fake_window(kWindow, {{kA, container}, {kB, first_page}, {kC, second_page}})});
    ASSERT_TRUE(load_window(kWindow));
    EXPECT_EQ(fake_unit(kWindow, kB)->parent(), fake_unit(kWindow, kA));
    EXPECT_TRUE(journal().contains("under C B"));  // stacked among the container's children
    EXPECT_TRUE(fake_unit(kWindow, kB)->visible());
    EXPECT_FALSE(fake_unit(kWindow, kC)->visible());
}

TEST_F(WindowLoading, CreationRoutineRunsBeforeTheWindowShowsAndEventsDuringCreationAreLost) {
    install({window_with_creation_routine(
        kWindow, {{kA, with_event(fake_record(kFakeButton, "eager"), 0, kClick)}})});
    bool window_shown_during_routine = true;
    bool unit_visible_during_routine = false;
    m_on_created = [&] {
        window_shown_during_routine = journal().contains("show window");
        unit_visible_during_routine = fake_unit(kWindow, kA)->visible();
        EXPECT_FALSE(events_suppressed());
    };
    ASSERT_TRUE(load_window(kWindow));
    // "eager" raised its event while being created: no routine ran for it.
    EXPECT_THAT(m_calls, ElementsAre("on_created 52010001/00000000"));
    EXPECT_FALSE(window_shown_during_routine);
    EXPECT_TRUE(unit_visible_during_routine);
    EXPECT_TRUE(journal().contains("show window"));
    EXPECT_FALSE(events_suppressed());
}

TEST_F(WindowLoading, LoadingAnOpenWindowOnlyBringsItToFront) {
    install({window_with_creation_routine(kWindow, {{kA, fake_record(kFakeButton, "A")}})});
    ASSERT_TRUE(load_window(kWindow));
    journal().clear();
    EXPECT_TRUE(load_window(kWindow));
    EXPECT_EQ(m_calls.size(), 1u);
    EXPECT_THAT(journal().entries, ElementsAre("front "));
}

TEST_F(WindowLoading, UnknownWindowOrUncreatableUnitFailsWithNothingLeftBehind) {
    install({fake_window(
        kWindow, {{kA, fake_record(kFakeButton, "A")}, {kB, fake_record(kFakeButton, "broken")}})});
    EXPECT_FALSE(load_window(0x52019999));
    EXPECT_FALSE(load_window(kWindow));
    EXPECT_FALSE(window_exists(kWindow));
    EXPECT_TRUE(journal().contains("destroy "));
    EXPECT_FALSE(events_suppressed());
}

TEST_F(WindowLoading, ClosedWindowCanBeLoadedAgainAndRunsItsCreationRoutineAgain) {
    install({window_with_creation_routine(
        kWindow, {{kA, fake_record(kFakeButton, "A")}, {kB, fake_record(kFakeButton, "B")}})});
    ASSERT_TRUE(load_window(kWindow));
    journal().clear();
    close_window(kWindow);
    EXPECT_THAT(journal().entries, ElementsAre("destroy B", "destroy A", "destroy "));
    EXPECT_FALSE(window_exists(kWindow));
    ASSERT_TRUE(load_window(kWindow));
    EXPECT_EQ(m_calls.size(), 2u);
}

TEST_F(WindowLoading, PendingCloseIsFinishedBeforeLoadingAgain) {
    install({window_with_creation_routine(kWindow, {})});
    ASSERT_TRUE(load_window(kWindow));
    begin_window_close(kWindow);
    EXPECT_TRUE(window_exists(kWindow));
    ASSERT_TRUE(load_window(kWindow));
    EXPECT_EQ(m_calls.size(), 2u);  // created anew, not just brought to the front
}

TEST_F(WindowLoading, ModalWindowDisablesTheOthersUntilItCloses) {
    install({fake_window(kWindow, {}), fake_window(kSecondWindow, {})});
    ASSERT_TRUE(load_window(kWindow));
    ASSERT_TRUE(load_window(kSecondWindow, true));
    EXPECT_FALSE(fake_unit(kWindow, 0)->enabled());
    EXPECT_TRUE(fake_unit(kSecondWindow, 0)->enabled());
    close_window(kSecondWindow);
    EXPECT_TRUE(fake_unit(kWindow, 0)->enabled());
}

TEST_F(WindowLoading, CreationRoutineThatClosesItsWindowLeavesItClosed) {
    install({window_with_creation_routine(kWindow, {{kA, fake_record(kFakeButton, "A")}})});
    m_on_created = [] { close_window(kWindow); };
    EXPECT_FALSE(load_window(kWindow));
    EXPECT_FALSE(window_exists(kWindow));
    EXPECT_FALSE(journal().contains("show window"));
}

TEST_F(WindowLoading, UnreadableTemplateIsFatal) {
    WindowTemplate window_template;
    window_template.windows.push_back(fake_window(kWindow, {}));
    std::vector<std::uint8_t> bytes = encode_template(window_template);
    static const char* const kNames[] = {"on_created"};
    const std::string expected =
        "运行时出错!\r\n\r\n错误信息：载入窗口模板数据段出错!\r\n\r\n0, 0\r\n";

    std::vector<std::uint8_t> truncated(bytes.begin(), bytes.end() - 3);
    EXPECT_EQ(fatal_text_of([&] { install_window_template(truncated, kNames, {}); }), expected);

    // A binding naming routine number 5 when the template carries one routine name.
    window_template.windows[0].store.records[0].events.push_back({0, 5});
    bytes = encode_template(window_template);
    EXPECT_EQ(fatal_text_of([&] { install_window_template(bytes, kNames, {}); }), expected);
}

}  // namespace
}  // namespace wavlon::testing
