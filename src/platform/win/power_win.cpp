// Power requests on Windows: the shutdown privilege is enabled first, then ExitWindowsEx ends
// the session (power-off, restart, log-off) or SetSystemPowerState suspends or hibernates.
#include <windows.h>

#include "platform/power.h"
#include "platform/win/power_win.h"

namespace wavlon::platform {
namespace {

bool enable_privilege() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        return false;
    }
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    bool ok =
        LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &privileges.Privileges[0].Luid) &&
        AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
    // AdjustTokenPrivileges succeeds without enabling a privilege the token lacks; only the
    // error code then tells.
    ok = ok && GetLastError() == ERROR_SUCCESS;
    CloseHandle(token);
    return ok;
}

bool exit_windows(std::uint32_t flags, std::uint32_t reason) {
    return ExitWindowsEx(flags, reason) != 0;
}

// Its first argument asks for suspend (TRUE) or hibernation (FALSE).
bool set_power_state(bool hibernate, bool force) {
    return SetSystemPowerState(!hibernate, force) != 0;
}

PowerCalls g_calls = system_power_calls();

class WindowsPowerBackend final : public PowerBackend {
public:
    bool request(PowerRequest what, bool force) override {
        const int mode = static_cast<int>(what);
        if (mode < 1 || mode > 5 || !g_calls.enable_shutdown_privilege()) {
            return false;
        }
        const std::uint32_t forced = force ? EWX_FORCE : 0;
        // Logged as a planned shutdown that is neither hardware nor software maintenance.
        const std::uint32_t reason =
            SHTDN_REASON_MAJOR_OTHER | SHTDN_REASON_MINOR_OTHER | SHTDN_REASON_FLAG_PLANNED;
        switch (what) {
            case PowerRequest::PowerOff:
                return g_calls.exit_windows(EWX_POWEROFF | forced, reason);
            case PowerRequest::Reboot:
                return g_calls.exit_windows(EWX_REBOOT | forced, reason);
            case PowerRequest::EndSession:
                return g_calls.exit_windows(EWX_LOGOFF | forced, reason);
            case PowerRequest::Suspend:
                return g_calls.set_power_state(false, force);
            case PowerRequest::Hibernate:
                return g_calls.set_power_state(true, force);
        }
        return false;
    }
};

WindowsPowerBackend g_system;
PowerBackend* g_backend = &g_system;

}  // namespace

PowerCalls system_power_calls() {
    return {enable_privilege, exit_windows, set_power_state};
}

PowerCalls set_power_calls(const PowerCalls& calls) {
    PowerCalls previous = g_calls;
    g_calls = calls;
    return previous;
}

PowerBackend& power() {
    return *g_backend;
}

PowerBackend* set_power_backend(PowerBackend* backend) {
    PowerBackend* previous = g_backend == &g_system ? nullptr : g_backend;
    g_backend = backend != nullptr ? backend : &g_system;
    return previous;
}

}  // namespace wavlon::platform
