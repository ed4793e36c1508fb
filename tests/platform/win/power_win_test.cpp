#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/power.h"
#include "platform/win/power_win.h"

namespace wavlon::platform {
namespace {

// What the backend asked of the system, in order.
std::vector<std::string> g_calls;
bool g_privilege = true;

PowerCalls recording_calls() {
    return {[] {
                g_calls.push_back("privilege");
                return g_privilege;
            },
            [](std::uint32_t flags, std::uint32_t reason) {
                g_calls.push_back("exit " + std::to_string(flags));
                return reason == (SHTDN_REASON_MAJOR_OTHER | SHTDN_REASON_MINOR_OTHER |
                                  SHTDN_REASON_FLAG_PLANNED);
            },
            [](bool hibernate, bool force) {
                g_calls.push_back(std::string(hibernate ? "hibernate" : "suspend") +
                                  (force ? " forced" : ""));
                return true;
            }};
}

class WindowsPower : public ::testing::Test {
protected:
    void SetUp() override {
        g_calls.clear();
        g_privilege = true;
        m_previous = set_power_calls(recording_calls());
    }
    void TearDown() override { set_power_calls(m_previous); }

    PowerCalls m_previous{};
};

TEST_F(WindowsPower, EachModeEnablesThePrivilegeThenMakesItsCall) {
    struct Case {
        int mode;
        bool force;
        const char* call;
    } cases[] = {
        {1, false, "exit 8"},                           // EWX_POWEROFF
        {1, true, "exit 12"},                           // EWX_POWEROFF | EWX_FORCE
        {2, false, "exit 2"},                           // EWX_REBOOT
        {2, true, "exit 6"},     {3, false, "exit 0"},  // EWX_LOGOFF
        {3, true, "exit 4"},     {4, false, "suspend"},         {4, true, "suspend forced"},
        {5, false, "hibernate"}, {5, true, "hibernate forced"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        g_calls.clear();
        EXPECT_TRUE(power().request(static_cast<PowerRequest>(c.mode), c.force));
        EXPECT_EQ(g_calls, (std::vector<std::string>{"privilege", c.call}));
    }
}

TEST_F(WindowsPower, NoPrivilegeOrAnUnknownModeAsksNothingOfTheSystem) {
    for (int mode : {0, 6, -1}) {
        EXPECT_FALSE(power().request(static_cast<PowerRequest>(mode), false));
    }
    EXPECT_TRUE(g_calls.empty());
    g_privilege = false;
    EXPECT_FALSE(power().request(PowerRequest::PowerOff, false));
    EXPECT_EQ(g_calls, std::vector<std::string>{"privilege"});
}

// The real privilege call: afterwards the process's token holds the shutdown privilege enabled.
TEST(WindowsShutdownPrivilege, IsEnabledInTheProcessToken) {
    ASSERT_TRUE(system_power_calls().enable_shutdown_privilege());
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    PRIVILEGE_SET wanted{};
    wanted.PrivilegeCount = 1;
    wanted.Control = PRIVILEGE_SET_ALL_NECESSARY;
    ASSERT_TRUE(LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &wanted.Privilege[0].Luid));
    BOOL held = FALSE;
    EXPECT_TRUE(PrivilegeCheck(token, &wanted, &held));
    EXPECT_TRUE(held);
    CloseHandle(token);
}

}  // namespace
}  // namespace wavlon::platform
