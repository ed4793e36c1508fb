// Modal dialogs: the message box and the folder dialog.
//
// Every modal dialog goes through one backend. The default backend is the system's: Qt Widgets
// on Linux (platform/dialogs_qt.h), the message box and the shell's folder dialog on Windows;
// tests install a backend that answers for the user. Call on the user-interface thread only.
#pragma once

#include <cstdint>
#include <string>

namespace wavlon::platform {

// Message-box style bits, as the runtime's callers pass them.
constexpr std::uint32_t kMessageBoxOk = 0x0;
constexpr std::uint32_t kMessageBoxOkCancel = 0x1;
constexpr std::uint32_t kMessageBoxAbortRetryIgnore = 0x2;
constexpr std::uint32_t kMessageBoxYesNoCancel = 0x3;
constexpr std::uint32_t kMessageBoxYesNo = 0x4;
constexpr std::uint32_t kMessageBoxRetryCancel = 0x5;
constexpr std::uint32_t kMessageBoxButtonMask = 0xF;
constexpr std::uint32_t kMessageBoxIconError = 0x10;
constexpr std::uint32_t kMessageBoxIconQuestion = 0x20;
constexpr std::uint32_t kMessageBoxIconWarning = 0x30;
constexpr std::uint32_t kMessageBoxIconInformation = 0x40;
constexpr std::uint32_t kMessageBoxIconMask = 0xF0;
constexpr std::uint32_t kMessageBoxDefaultButtonMask = 0xF00;
constexpr std::uint32_t kMessageBoxSystemModal = 0x1000;
constexpr std::uint32_t kMessageBoxTaskModal = 0x2000;

// Button codes a message box answers with.
enum class DialogButton : std::int32_t {
    Ok = 0,
    Cancel = 1,
    Abort = 2,
    Retry = 3,
    Ignore = 4,
    Yes = 5,
    No = 6
};

struct MessageBoxRequest {
    std::string text;     // UTF-8
    std::string caption;  // UTF-8
    std::uint32_t flags = 0;
    // Native window the box belongs to (0 = none).
    std::uintptr_t owner = 0;
};

struct FolderRequest {
    std::string title;  // UTF-8
    bool include_files = false;
};

class DialogBackend {
public:
    virtual ~DialogBackend() = default;
    virtual DialogButton message_box(const MessageBoxRequest& request) = 0;
    // The chosen folder as a UTF-8 path, or the empty string when the user cancels.
    virtual std::string browse_for_folder(const FolderRequest& request) = 0;
};

DialogBackend& dialogs();
// nullptr restores the default backend. Returns the previous one (nullptr for the default).
DialogBackend* set_dialog_backend(DialogBackend* backend);

}  // namespace wavlon::platform
