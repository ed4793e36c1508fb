#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/session_end.h"
#include "platform/single_instance.h"

namespace wavlon::platform {
namespace {

using Role = SingleInstance::Role;
using Paths = std::vector<std::string>;

// Handles this thread's messages until `done` holds, for at most 10 s.
bool pump_until(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
    }
    return true;
}

// Each test's instances have a folder of their own (it only names them).
class WindowsInstance : public ::testing::Test {
protected:
    const std::string m_folder =
        "Z:\\wavlon-test\\" +
        std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) +
        std::to_string(GetCurrentProcessId());
    void collect(SingleInstance& first) {
        first.on_raise_requests([this](const std::string& token, const Paths& paths) {
            m_requests.emplace_back(token, paths);
        });
    }
    std::vector<std::pair<std::string, Paths>> m_requests;
};

TEST_F(WindowsInstance, SecondStartHandsOverItsPathsAndOnlyWellFormedRequestsArrive) {
    std::optional<SingleInstance> first(std::in_place, "session-1", m_folder);
    ASSERT_EQ(first->role(), Role::First);
    SingleInstance second("session-1", m_folder);
    ASSERT_EQ(second.role(), Role::Second);
    EXPECT_EQ(SingleInstance("session-2", m_folder).role(), Role::First);
    // Sent before the handler exists: it waits for it.
    const Paths paths{"C:\\音乐\\周杰伦 - 晴天.mp3", "\\\\server\\share\\b.mp3"};
    EXPECT_TRUE(second.ask_first_to_raise("token-1", paths));
    EXPECT_TRUE(second.ask_first_to_raise("", {"relative\\c.mp3"}));  // dropped
    EXPECT_TRUE(second.ask_first_to_raise("two words", {}));          // dropped
    collect(*first);
    EXPECT_TRUE(second.ask_first_to_raise("", {}));
    // A dropped request, had it come through, would stand before the last one.
    ASSERT_TRUE(pump_until([&] { return m_requests.size() >= 2; }));
    EXPECT_EQ(m_requests,
              (std::vector<std::pair<std::string, Paths>>{{"token-1", paths}, {"", {}}}));
    // The first instance's end frees the name for the next start.
    first.reset();
    EXPECT_FALSE(second.ask_first_to_raise("", {}, std::chrono::milliseconds(100)));
    EXPECT_EQ(SingleInstance("session-1", m_folder).role(), Role::First);
}

// Run by the test below as a second process: the second start of a real program.
TEST(WindowsSecondStart, DISABLED_AsksTheFirst) {
    char folder[MAX_PATH] = {};
    ASSERT_NE(GetEnvironmentVariableA("WAVLON_INSTANCE_FOLDER", folder, MAX_PATH), 0u);
    SingleInstance second("session-1", folder);
    ASSERT_EQ(second.role(), Role::Second);
    EXPECT_TRUE(second.ask_first_to_raise("", {"D:\\歌曲\\稻香.mp3"}));
}

TEST_F(WindowsInstance, AnotherProcessReachesTheFirst) {
    SingleInstance first("session-1", m_folder);
    ASSERT_EQ(first.role(), Role::First);
    collect(first);
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(program) +
                           L"\" --gtest_also_run_disabled_tests "
                           L"--gtest_filter=WindowsSecondStart.DISABLED_AsksTheFirst";
    SetEnvironmentVariableA("WAVLON_INSTANCE_FOLDER", m_folder.c_str());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
    // The second start waits for this thread to take its message.
    EXPECT_TRUE(pump_until([&] { return WaitForSingleObject(process.hProcess, 0) == 0; }));
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(code, 0u);
    ASSERT_TRUE(pump_until([&] { return !m_requests.empty(); }));
    EXPECT_EQ(m_requests[0].second, Paths{"D:\\歌曲\\稻香.mp3"});
}

TEST(WindowsSessionEnd, EndingSessionAndPoliteCloseRunTheHandler) {
    int ended = 0;
    ASSERT_TRUE(on_session_end([&] { ++ended; }));
    EXPECT_FALSE(on_session_end([] {}));
    HWND window = FindWindowW(L"WavlonSessionEnd", nullptr);
    ASSERT_NE(window, nullptr);
    // Asked first: the player lets the session end.
    EXPECT_EQ(SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
    EXPECT_EQ(ended, 0);
    SendMessageW(window, WM_ENDSESSION, FALSE, 0);  // another program cancelled it
    EXPECT_EQ(ended, 0);
    SendMessageW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    EXPECT_EQ(ended, 1);
    // "taskkill" without /F: a posted close, handled by the loop; the window stays.
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(pump_until([&] { return ended == 2; }));
    EXPECT_TRUE(IsWindow(window));
}

}  // namespace
}  // namespace wavlon::platform
