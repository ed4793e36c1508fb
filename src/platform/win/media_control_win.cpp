// Media-control command strings on Windows: the system's MCI plays them.
//
// Commands go to mciSendStringW, not to the "A" form: the "A" form reads its text in the
// system code page, so a file name with a character outside it (a Korean name on a Chinese
// system) would be lost, and 8.3 short names are no way out, as volumes may be made without
// them and an http address has none. Our commands are UTF-8, which converts to UTF-16 whole.
//
// Every "play" and "resume" asks for a notification, which a message-only window on a thread
// of its own receives and hands to the end listener. Where MCI's devices differ from what
// media_control.h promises, this layer makes up the difference with further MCI commands:
// "play" at the end of a stream starts it again, a stream at its end answers its length as
// its position, and "resume" falls back to "play" for a device that has none (wine's
// DirectShow device).
#include "platform/media_control.h"

#include <windows.h>

#include <mmsystem.h>

#include <cstdlib>
#include <future>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "platform/media_command_words.h"
#include "platform/win/wide_text.h"

namespace wavlon::platform {
namespace {

std::optional<std::wstring> to_wide(const std::string& text) {
    if (text.empty()) {
        return std::wstring();
    }
    int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                   static_cast<int>(text.size()), nullptr, 0);
    if (size <= 0) {
        return std::nullopt;
    }
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                        wide.data(), size);
    return wide;
}

// Read on the notification thread, set on the caller's: guarded.
std::mutex g_end_mutex;
std::function<void()> g_end_listener;

// The aliases (lower-cased) told to play and not since paused, stopped, moved or closed: one
// of them that the device shows stopped has played to its end. Notices cannot tell this, as
// wine's DirectShow device sends them without its device id.
std::set<std::string>& played() {
    static std::set<std::string> aliases;
    return aliases;
}

std::function<void(const std::string&)>& observer() {
    static std::function<void(const std::string&)> current;
    return current;
}

LRESULT CALLBACK notify_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    // Only a play that ran to its end reports success; stop, close, pause and a later play
    // report it aborted or superseded.
    if (message == MM_MCINOTIFY && wparam == MCI_NOTIFY_SUCCESSFUL) {
        std::function<void()> listener;
        {
            std::lock_guard lock(g_end_mutex);
            listener = g_end_listener;
        }
        if (listener) {
            listener();
        }
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

// The window MCI notifies, on a thread that does nothing but wait for its messages, so the
// end is seen at once whether or not the caller's thread runs a message loop. It lives as
// long as the process.
HWND notify_window() {
    static HWND const window = [] {
        std::promise<HWND> made;
        std::future<HWND> result = made.get_future();
        std::thread([&made] {
            WNDCLASSW window_class{};
            window_class.lpfnWndProc = notify_proc;
            window_class.hInstance = GetModuleHandleW(nullptr);
            window_class.lpszClassName = L"WavlonMediaNotify";
            RegisterClassW(&window_class);
            HWND hwnd = CreateWindowExW(0, window_class.lpszClassName, L"", 0, 0, 0, 0, 0,
                                        HWND_MESSAGE, nullptr, window_class.hInstance, nullptr);
            made.set_value(hwnd);
            if (hwnd == nullptr) {
                return;
            }
            MSG message;
            while (GetMessageW(&message, nullptr, 0, 0) > 0) {
                DispatchMessageW(&message);
            }
        }).detach();
        return result.get();
    }();
    return window;
}

// One command to MCI; the answer is MCI's return string.
bool mci(const std::string& command, std::string* answer, HWND callback = nullptr) {
    if (answer != nullptr) {
        answer->clear();
    }
    std::optional<std::wstring> wide = to_wide(command);
    if (!wide) {
        return false;
    }
    wchar_t buffer[512] = {};
    MCIERROR error = mciSendStringW(wide->c_str(), buffer, 512, callback);
    if (error != 0) {
        return false;
    }
    if (answer != nullptr) {
        *answer = narrow(buffer);
    }
    return true;
}

bool at_end(const std::string& alias) {
    std::string mode;
    return played().count(ascii_lower(alias)) != 0 && mci("status " + alias + " mode", &mode) &&
           mode == "stopped";
}

// After a successful open: positions and lengths in milliseconds from the start, whatever the
// device's own unit. A file of which the device finds no length cannot be played (wine's
// DirectShow device opens any file, also one of noise): it is closed again.
bool opened(const std::string& element, const std::string& alias) {
    played().erase(ascii_lower(alias));
    mci("set " + alias + " time format milliseconds", nullptr);
    std::string length;
    if (element.find("://") == std::string::npos &&
        (!mci("status " + alias + " length", &length) || std::atoll(length.c_str()) <= 0)) {
        mci("close " + alias, nullptr);
        return false;
    }
    return true;
}

bool run(const std::string& command, std::string* answer) {
    // A command whose quote is not closed goes to MCI unread, which answers it.
    std::vector<std::string> words =
        split_media_words(command).value_or(std::vector<std::string>{});
    std::string verb = words.empty() ? std::string() : ascii_lower(words[0]);
    std::string alias = words.size() > 1 ? words[1] : std::string();
    // A stream at its end stands there, whatever position the device keeps after it (wine's
    // keeps the one its last play started from).
    if (verb == "status" && words.size() == 3 && ascii_lower(words[2]) == "position" &&
        at_end(alias)) {
        return mci("status " + alias + " length", answer);
    }
    // A player's play button starts a stream again that played to its end.
    if (verb == "play" && words.size() == 2 && at_end(alias)) {
        mci("seek " + alias + " to start", nullptr);
    }
    if (verb != "status" && verb != "set" && verb != "window") {
        played().erase(ascii_lower(alias));
    }
    if (verb == "play" || verb == "resume") {
        bool notify = false;
        for (const std::string& word : words) {
            notify = notify || ascii_lower(word) == "notify";
        }
        std::string notified = notify ? command : command + " notify";
        if (mci(notified, answer, notify_window())) {
            played().insert(ascii_lower(alias));
            return true;
        }
        // A device without "resume" continues from its pause point on "play".
        std::string mode;
        if (verb == "resume" && words.size() == 2 && mci("status " + alias + " mode", &mode) &&
            mode == "paused") {
            bool ok = mci("play " + alias + " notify", answer, notify_window());
            if (ok) {
                played().insert(ascii_lower(alias));
            }
            return ok;
        }
        return false;
    }
    if (!mci(command, answer)) {
        return false;
    }
    if (verb == "open") {
        for (std::size_t i = 2; i + 1 < words.size(); ++i) {
            if (ascii_lower(words[i]) == "alias") {
                return opened(words[1], words[i + 1]);
            }
        }
    }
    return true;
}

}  // namespace

bool send_media_command(const std::string& command, std::string* answer) {
    if (observer()) {
        observer()(command);
    }
    return run(command, answer);
}

bool open_media(const std::string& device_type, const std::string& element,
                const std::string& alias) {
    std::string command = "open \"" + element + "\" type " + device_type + " alias " + alias;
    if (observer()) {
        observer()(command);
    }
    // A quote cannot be given inside a quoted element, and MCI would take the next word for
    // an empty alias.
    if (alias.empty() || element.find('"') != std::string::npos ||
        alias.find_first_of(" \t\"") != std::string::npos) {
        return false;
    }
    return run(command, nullptr);
}

void set_media_end_listener(std::function<void()> listener) {
    std::lock_guard lock(g_end_mutex);
    g_end_listener = std::move(listener);
}

void set_media_command_observer(std::function<void(const std::string&)> new_observer) {
    observer() = std::move(new_observer);
}

// MCI brings its own decoders; there are no plugins to look for.
std::vector<std::string> missing_media_plugins(const std::function<bool(const char*)>&) {
    return {};
}

}  // namespace wavlon::platform
