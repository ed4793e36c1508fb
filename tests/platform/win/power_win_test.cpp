#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/power.h"
#include "platform/win/power_win.h"

namespace wavlon::platform {
namespace {

// What the backend asked of the system, in order; the real calls are never made.
std::vector<std::string> g_calls;
bool g_privilege = true;

class WindowsPower : public ::testing::Test {
protected:
    void SetUp() override {
        g_calls.clear();
        m_system = set_power_calls(
            {[] { return g_calls.push_back("privilege"), g_privilege; },
             [](std::uint32_t flags, std::uint32_t) {
                 return g_calls.push_back("exit " + std::to_string(flags)), true;
             },
             [](bool hibernate, bool force) {
                 g_calls.push_back(std::string(hibernate ? "hibernate" : "suspend") +
                                   (force ? " forced" : ""));
                 return true;
             }});
    }
    void TearDown() override { set_power_calls(m_system); }

    PowerCalls m_system{};
};

TEST_F(WindowsPower, EachModeEnablesThePrivilegeFirstAndNothingWithoutIt) {
    struct Case {
        int mode;
        bool force;
        bool privilege;
        std::vector<std::string> calls;
    } cases[] = {
        {1, false, true, {"privilege", "exit 8"}},  // EWX_POWEROFF
        {1, true, true, {"privilege", "exit 12"}},  // and EWX_FORCE
        {2, false, true, {"privilege", "exit 2"}},  // EWX_REBOOT
        {3, true, true, {"privilege", "exit 4"}},   // EWX_LOGOFF and EWX_FORCE
        {4, false, true, {"privilege", "suspend"}},
        {5, true, true, {"privilege", "hibernate forced"}},
        {1, false, false, {"privilege"}},
        {6, false, true, {}},
        {0, false, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        g_calls.clear();
        g_privilege = c.privilege;
        EXPECT_EQ(power().request(static_cast<PowerRequest>(c.mode), c.force), c.calls.size() == 2);
        EXPECT_EQ(g_calls, c.calls);
    }
}

// The real privilege call: afterwards the process's token holds the privilege enabled.
TEST(WindowsShutdownPrivilege, IsEnabledInTheProcessToken) {
    ASSERT_TRUE(system_power_calls().enable_shutdown_privilege());
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    PRIVILEGE_SET wanted{1, PRIVILEGE_SET_ALL_NECESSARY, {}};
    ASSERT_TRUE(LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &wanted.Privilege[0].Luid));
    BOOL held = FALSE;
    EXPECT_TRUE(PrivilegeCheck(token, &wanted, &held) && held);
    CloseHandle(token);
}

}  // namespace
}  // namespace wavlon::platform
