// A dbus-daemon of a test's own on a socket in a temporary folder, ended with the object.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace wavlon::testing {

class PrivateBus {
public:
    // Starts the daemon and waits (up to 10 s) until it accepts connections; a daemon that
    // does not start is a test failure.
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // "unix:path=...", for QDBusConnection::connectToBus and DBUS_SESSION_BUS_ADDRESS.
    const std::string& address() const { return m_address; }

private:
    std::filesystem::path m_folder;
    std::string m_address;
    pid_t m_pid = -1;
};

}  // namespace wavlon::testing
