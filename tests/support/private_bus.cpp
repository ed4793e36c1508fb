#include "support/private_bus.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>

namespace wavlon::testing {

namespace fs = std::filesystem;

PrivateBus::PrivateBus() {
    std::string pattern = (fs::temp_directory_path() / "wavlon-bus-XXXXXX").string();
    m_folder = ::mkdtemp(pattern.data());
    fs::path socket = m_folder / "bus";
    m_address = "unix:path=" + socket.string();
    std::ofstream(m_folder / "bus.conf")
        << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
           "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig><type>custom</type><listen>"
        << m_address
        << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
           "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
           "<allow own=\"*\"/></policy></busconfig>\n";
    std::string config = "--config-file=" + (m_folder / "bus.conf").string();
    // The daemon prints its address once it accepts connections.
    int ready[2];
    if (::pipe(ready) != 0) {
        return;
    }
    std::string print_address = "--print-address=" + std::to_string(ready[1]);
    m_pid = ::fork();
    if (m_pid == 0) {
        // Quiet: an unprivileged daemon warns that it cannot raise its file limit.
        int null_fd = ::open("/dev/null", O_WRONLY);
        ::dup2(null_fd, STDERR_FILENO);
        ::close(ready[0]);
        ::execlp("dbus-daemon", "dbus-daemon", config.c_str(), print_address.c_str(), "--nofork",
                 "--nopidfile", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(ready[1]);
    pollfd wait{ready[0], POLLIN, 0};
    char line[512];
    if (::poll(&wait, 1, 10000) != 1 || ::read(ready[0], line, sizeof line) <= 0) {
        ADD_FAILURE() << "dbus-daemon did not start";
    }
    ::close(ready[0]);
}

PrivateBus::~PrivateBus() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
    }
    std::error_code ignored;
    fs::remove_all(m_folder, ignored);
}

}  // namespace wavlon::testing
