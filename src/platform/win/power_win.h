// The system calls behind the default power backend on Windows. Tests replace them, so that
// they see the requests the backend makes without the machine ever powering off.
#pragma once

#include <cstdint>

namespace wavlon::platform {

struct PowerCalls {
    // Enables the shutdown privilege in the process's token; true when it is enabled.
    bool (*enable_shutdown_privilege)();
    // ExitWindowsEx with its EWX_ flags and the shutdown reason.
    bool (*exit_windows)(std::uint32_t flags, std::uint32_t reason);
    // SetSystemPowerState: hibernate or suspend, forced or not.
    bool (*set_power_state)(bool hibernate, bool force);
};

// The system's own calls.
PowerCalls system_power_calls();
// Installs `calls` for every later request and returns the ones in use before.
PowerCalls set_power_calls(const PowerCalls& calls);

}  // namespace wavlon::platform
