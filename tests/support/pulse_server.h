// Sound-server helpers for tests.
//
// The suites that need sound share the PulseAudio server of the CTest fixture (PULSE_SERVER
// points at it). A test that switches the default device, loads unusual devices, or stops or
// kills the server starts a PrivatePulseServer instead, so nothing it does reaches the others.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace wavlon::testing {

// Runs `command` through the shell; returns its standard output.
std::string run_command(const std::string& command);

// Runs pactl with `arguments` against the server PULSE_SERVER names; returns its output.
std::string pactl(const std::string& arguments);

// Each channel's percentage, or raw volume (0..65536 for 0..100 %), in the output of
// `pactl get-sink-volume` (or get-source-volume).
std::vector<int> volume_percents(const std::string& pactl_output);
std::vector<int> volume_values(const std::string& pactl_output);

// The sink inputs that process `pid` plays on the server PULSE_SERVER names: true for each
// corked (paused) one, in the server's order.
std::vector<bool> sink_inputs_corked(int pid);
// The same for this process.
std::vector<bool> own_sink_inputs_corked();

// Records the volume and mute of the current default sink and puts them back on destruction.
class DefaultSinkGuard {
public:
    DefaultSinkGuard();
    ~DefaultSinkGuard();
    DefaultSinkGuard(const DefaultSinkGuard&) = delete;
    DefaultSinkGuard& operator=(const DefaultSinkGuard&) = delete;

private:
    std::vector<int> m_volume;
    std::string m_mute;
};

// A PulseAudio server of the test's own in a fresh temporary folder, listening on a private
// socket. `modules` are loaded at start, each a module name with its arguments, for example
// "module-null-sink sink_name=mono channels=1". The destructor kills the server and removes
// the folder.
class PrivatePulseServer {
public:
    explicit PrivatePulseServer(const std::vector<std::string>& modules);
    ~PrivatePulseServer();
    PrivatePulseServer(const PrivatePulseServer&) = delete;
    PrivatePulseServer& operator=(const PrivatePulseServer&) = delete;

    // True once the server answers (within about 10 s of construction).
    bool running() const { return m_running; }
    // "unix:<folder>/native", for PULSE_SERVER.
    const std::string& address() const { return m_address; }
    std::string pactl(const std::string& arguments) const;

    void pause();   // SIGSTOP: the socket stays, nothing answers
    void resume();  // SIGCONT
    void kill();    // SIGKILL, and waits for the process to end
    // Kills the server if it runs and starts a new one with the same modules on the same
    // socket; running() tells whether it answers again.
    void restart();

private:
    void spawn();

    std::vector<std::string> m_modules;
    std::string m_folder;
    std::string m_address;
    pid_t m_pid = -1;
    bool m_running = false;
};

// Points PULSE_SERVER at `address` for the guard's lifetime, then restores it. Only libpulse
// connections made meanwhile are affected.
class ScopedPulseServer {
public:
    explicit ScopedPulseServer(const std::string& address);
    ~ScopedPulseServer();
    ScopedPulseServer(const ScopedPulseServer&) = delete;
    ScopedPulseServer& operator=(const ScopedPulseServer&) = delete;

private:
    bool m_had_previous = false;
    std::string m_previous;
};

}  // namespace wavlon::testing
