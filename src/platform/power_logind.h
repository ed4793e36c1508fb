// Power requests through logind (org.freedesktop.login1) on the system bus: the default
// power backend on Linux. Each D-Bus call waits at most 2 s; without a system bus the request
// fails at once.
#pragma once

#include <string>

#include "platform/power.h"

namespace wavlon::platform {

// The bus is the one named by DBUS_SYSTEM_BUS_ADDRESS at the time of the request, or the
// standard system bus socket; `bus_address` overrides both. Each request opens its own connection
// and closes it again.
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

}  // namespace wavlon::platform
