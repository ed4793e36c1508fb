// Power-off, restart, ending the session, suspend and hibernate.
//
// Every request goes through one backend. The default asks logind over D-Bus on the system
// bus; tests install a backend of their own so that nothing ever powers off the machine.
// Requests block the calling thread: each D-Bus call waits at most 2 s, and without a system
// bus the request fails at once.
#pragma once

#include <string>

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

// logind (org.freedesktop.login1) on the system bus. The bus is the one named by
// DBUS_SYSTEM_BUS_ADDRESS at the time of the request, or the standard system bus socket;
// `bus_address` overrides both. Each request opens its own connection and closes it again.
//
// Power-off, restart, suspend and hibernate first ask logind whether they are possible
// (CanPowerOff and so on): "no" and "na" refuse the request without making it. Every call is
// non-interactive, so logind never waits for a password. Ending the session terminates the
// session of XDG_SESSION_ID, or else the session this process belongs to. logind has no
// notion of forcing, so `force` changes nothing.
class LogindPowerBackend final : public PowerBackend {
public:
    explicit LogindPowerBackend(std::string bus_address = {});
    bool request(PowerRequest what, bool force) override;

private:
    std::string m_bus_address;
};

PowerBackend& power();
// nullptr restores the default backend. Returns the previous one (nullptr for the default).
PowerBackend* set_power_backend(PowerBackend* backend);

}  // namespace wavlon::platform
