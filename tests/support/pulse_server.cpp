#include "support/pulse_server.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <regex>
#include <thread>

extern char** environ;

namespace wavlon::testing {

std::string run_command(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return output;
    }
    char buffer[512];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.append(buffer, n);
    }
    pclose(pipe);
    return output;
}

std::string pactl(const std::string& arguments) {
    return run_command("pactl " + arguments + " 2>&1");
}

std::vector<bool> sink_inputs_corked(int pid) {
    const std::string text = run_command("pactl list sink-inputs 2>/dev/null");
    const std::string pid_line = "application.process.id = \"" + std::to_string(pid) + "\"";
    std::vector<bool> corked;
    std::size_t at = 0;
    while ((at = text.find("Sink Input #", at)) != std::string::npos) {
        std::size_t end = text.find("Sink Input #", at + 1);
        std::string block = text.substr(at, end == std::string::npos ? end : end - at);
        if (block.find(pid_line) != std::string::npos) {
            corked.push_back(block.find("Corked: yes") != std::string::npos);
        }
        at = end;
    }
    return corked;
}

std::vector<bool> own_sink_inputs_corked() {
    return sink_inputs_corked(::getpid());
}

namespace {

// Group `group` of every channel entry of the first line of pactl's volume output:
// "Volume: front-left: 9830 /  15% / -49.44 dB,   front-right: ..."
std::vector<int> channel_fields(const std::string& pactl_output, int group) {
    static const std::regex channel(R"((\d+) /\s*(\d+)%)");
    std::vector<int> fields;
    std::string first_line = pactl_output.substr(0, pactl_output.find('\n'));
    for (std::sregex_iterator it(first_line.begin(), first_line.end(), channel), end; it != end;
         ++it) {
        fields.push_back(std::stoi((*it)[group].str()));
    }
    return fields;
}

}  // namespace

std::vector<int> volume_percents(const std::string& pactl_output) {
    return channel_fields(pactl_output, 2);
}

std::vector<int> volume_values(const std::string& pactl_output) {
    return channel_fields(pactl_output, 1);
}

DefaultSinkGuard::DefaultSinkGuard()
    : m_volume(volume_values(pactl("get-sink-volume @DEFAULT_SINK@"))),
      m_mute(pactl("get-sink-mute @DEFAULT_SINK@")) {}

DefaultSinkGuard::~DefaultSinkGuard() {
    std::string values;
    for (int value : m_volume) {
        values += " " + std::to_string(value);
    }
    if (!values.empty()) {
        pactl("set-sink-volume @DEFAULT_SINK@" + values);
    }
    pactl(std::string("set-sink-mute @DEFAULT_SINK@ ") +
          (m_mute.find("yes") != std::string::npos ? "1" : "0"));
}

PrivatePulseServer::PrivatePulseServer(const std::vector<std::string>& modules)
    : m_modules(modules) {
    char folder[] = "/tmp/wavlon-pulse-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        return;
    }
    m_folder = folder;
    m_address = "unix:" + m_folder + "/native";
    std::filesystem::create_directories(m_folder + "/home");
    std::filesystem::create_directories(m_folder + "/runtime");
    spawn();
}

void PrivatePulseServer::restart() {
    kill();
    if (!m_folder.empty()) {
        spawn();
    }
}

void PrivatePulseServer::spawn() {
    // Everything the child needs is built before it is spawned.
    std::vector<std::string> arguments = {
        "pulseaudio",
        "-n",
        "--daemonize=no",
        "--exit-idle-time=-1",
        "--use-pid-file=no",
        "--system=no",
        "--disallow-module-loading=no",
        "--log-target=file:" + m_folder + "/server.log",
        "-L",
        "module-native-protocol-unix socket=" + m_folder + "/native auth-anonymous=1"};
    for (const std::string& module : m_modules) {
        arguments.push_back("-L");
        arguments.push_back(module);
    }
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) {
        std::string entry = *e;
        if (entry.rfind("HOME=", 0) != 0 && entry.rfind("XDG_", 0) != 0 &&
            entry.rfind("PULSE_", 0) != 0) {
            environment.push_back(entry);
        }
    }
    environment.push_back("HOME=" + m_folder + "/home");
    environment.push_back("XDG_CONFIG_HOME=" + m_folder + "/home");
    environment.push_back("XDG_RUNTIME_DIR=" + m_folder + "/runtime");
    std::vector<char*> argv;
    for (std::string& a : arguments) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : environment) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    int spawned = posix_spawnp(&m_pid, "pulseaudio", &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        m_pid = -1;
        return;
    }
    for (int i = 0; i < 100 && !m_running; ++i) {
        m_running =
            std::system(("PULSE_SERVER=" + m_address + " pactl info >/dev/null 2>&1").c_str()) == 0;
        if (!m_running) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    }
}

PrivatePulseServer::~PrivatePulseServer() {
    kill();
    if (!m_folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
}

std::string PrivatePulseServer::pactl(const std::string& arguments) const {
    return run_command("PULSE_SERVER=" + m_address + " pactl " + arguments + " 2>&1");
}

void PrivatePulseServer::pause() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGSTOP);
    }
}

void PrivatePulseServer::resume() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGCONT);
    }
}

void PrivatePulseServer::kill() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
    m_running = false;
}

ScopedPulseServer::ScopedPulseServer(const std::string& address) {
    if (const char* previous = std::getenv("PULSE_SERVER")) {
        m_had_previous = true;
        m_previous = previous;
    }
    setenv("PULSE_SERVER", address.c_str(), 1);
}

ScopedPulseServer::~ScopedPulseServer() {
    if (m_had_previous) {
        setenv("PULSE_SERVER", m_previous.c_str(), 1);
    } else {
        unsetenv("PULSE_SERVER");
    }
}

}  // namespace wavlon::testing
