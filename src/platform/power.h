// Power-off, restart, ending the session, suspend and hibernate.
//
// Every request goes through one backend. The default is the system's own: logind on Linux
// (platform/power_logind.h), ExitWindowsEx and SetSystemPowerState on Windows; tests install a
// backend of their own so that nothing ever powers off the machine. Requests block the calling
// thread.
#pragma once

namespace wavlon::platform {

enum class PowerRequest : int {
    PowerOff = 1,
    Reboot = 2,
    EndSession = 3,  // ends the user's login session
    Suspend = 4,
    Hibernate = 5,
};

class PowerBackend {
public:
    virtual ~PowerBackend() = default;
    // True when the system accepted the request. `force` asks that running programs not be
    // allowed to delay it, where the backend can express that.
    virtual bool request(PowerRequest what, bool force) = 0;
};

PowerBackend& power();
// nullptr restores the default backend. Returns the previous one (nullptr for the default).
PowerBackend* set_power_backend(PowerBackend* backend);

}  // namespace wavlon::platform
