// One running player per user and display.
//
// The first instance holds a lock for its whole run and takes requests from later starts; a
// later start with the same key finds the lock taken, asks the first instance to raise its
// window and ends. The lock goes with the process that holds it, however it ends, so a crashed
// player never blocks the next start.
//
// On Linux the lock is <folder>/wavlon-<key>.lock and the requests come over the local socket
// <folder>/wavlon-<key>.socket (a socket file left behind is replaced). The folder is per
// user: $XDG_RUNTIME_DIR, else /tmp/wavlon-<uid> (made with mode 0700 and used only when this
// user owns it and nobody else may write to it). The key names the display (display_key()).
//
// On Windows the lock is a mutex of the login session named after the key and the folder, and
// the requests come as WM_COPYDATA to a hidden window of the first instance; the key names the
// login session.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace wavlon::platform {

// The display this process shows its windows on, as a file-name part: "wayland-0" for
// WAYLAND_DISPLAY=wayland-0, "x11-:1" for DISPLAY=:1 (also for "unix:1.0" and ":1.0": the
// screen and a local host name do not count), "no-display" without either. Characters other
// than letters, digits, ".", "-", "_" and ":" become "_". On Windows "session-<n>", the login
// session.
std::string display_key();

// $XDG_RUNTIME_DIR when it is set and absolute, else /tmp/wavlon-<uid>; empty when that
// folder cannot be made or is not safe (see above). On Windows the user's temporary folder.
std::string default_instance_folder();

class SingleInstance {
public:
    enum class Role {
        First,   // this process holds the lock and listens
        Second,  // another process holds the lock
        Alone,   // no lock could be had (no usable folder): run without one
    };

    // Takes the lock for `key` in `folder` if it is free, and then listens at once, so that a
    // later start reaches this one even before its event loop runs (on Windows the later start
    // waits, up to its time-out, until this thread handles messages).
    explicit SingleInstance(const std::string& key,
                            const std::string& folder = default_instance_folder());
    // The first instance stops listening, removes its socket file and gives up the lock.
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    Role role() const { return m_role; }

    // Second instance: asks the first one to raise its window, handing on `activation_token`
    // (the desktop's token for bringing a window forward; may be empty) and the absolute
    // `paths` this start was given to open (file names as the system has them). Waits up to
    // `timeout` for the first instance to listen. True when the request was delivered; the
    // first instance acts on it once its event loop runs.
    bool ask_first_to_raise(const std::string& activation_token,
                            const std::vector<std::string>& paths = {},
                            std::chrono::milliseconds timeout = std::chrono::seconds(5));

    using RaiseHandler =
        std::function<void(const std::string& token, const std::vector<std::string>& paths)>;

    // First instance: runs `on_raise` with the token and the paths on the user-interface
    // thread for every request that arrives from now on (also those that came before). A
    // malformed request is dropped whole. Needs the application object.
    void on_raise_requests(RaiseHandler on_raise);

private:
    struct State;  // the system's handles and the handler, kept by the implementation

    Role m_role = Role::Alone;
    std::unique_ptr<State> m_state;
};

}  // namespace wavlon::platform
