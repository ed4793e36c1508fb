#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <numeric>
#include <thread>
#include <vector>

#include "runtime/live_window.h"
#include "runtime/message_loop.h"

namespace wavlon::runtime {
namespace {

// The loop runs while a window exists; a table with one loaded window stands in for one.
class WindowsMessageLoop : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<std::unique_ptr<LiveWindow>> windows;
        windows.push_back(std::make_unique<LiveWindow>());
        windows.back()->state = WindowState::kLoaded;
        replace_live_windows(std::move(windows));
    }
    void TearDown() override { replace_live_windows({}); }
};

TEST_F(WindowsMessageLoop, TasksFromOtherThreadsRunInOrderOnTheLoopsThread) {
    const DWORD loop_thread = GetCurrentThreadId();
    std::vector<int> ran;  // -1 for a task run on another thread
    std::thread poster([&] {
        for (int i = 0; i < 100; ++i) {
            EXPECT_TRUE(post_to_message_loop(
                [&, i] { ran.push_back(GetCurrentThreadId() == loop_thread ? i : -1); }));
        }
        post_to_message_loop([] { notify_last_window_gone(); });
    });
    run_message_loop();
    poster.join();
    EXPECT_FALSE(message_loop_running());
    std::vector<int> in_order(100);
    std::iota(in_order.begin(), in_order.end(), 0);
    EXPECT_EQ(ran, in_order);
}

// Last: once ended, the loop stays ended for the process.
TEST_F(WindowsMessageLoop, ZEndingTheRunEndsAModalLoopInsideIt) {
    int box = -1;
    bool task_ran_in_box = false;
    std::thread ender;
    post_to_message_loop([&] {
        // The box's own loop runs what another thread posts, and its end, asked there, too.
        ender = std::thread([&] {
            post_to_message_loop([&] { task_ran_in_box = true; });
            end_message_loop();
        });
        box = MessageBoxW(nullptr, L"等待结束", L"信息：", MB_OK);
    });
    run_message_loop();
    ender.join();
    EXPECT_TRUE(task_ran_in_box);
    EXPECT_NE(box, -1);
    // A later run returns at once.
    run_message_loop();
    EXPECT_FALSE(message_loop_running());
}

}  // namespace
}  // namespace wavlon::runtime
