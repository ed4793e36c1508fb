// Dialogs on Windows: the system's message box and the shell's folder dialog.
#include <windows.h>
// After windows.h, which they need.
#include <objbase.h>
#include <shlobj.h>

#include <optional>
#include <string>

#include "platform/dialogs.h"
#include "platform/win/wide_text.h"

namespace wavlon::platform {
namespace {

// The text in the system code page (936 on the Chinese systems the player is made for), or
// nothing when that code page lacks one of its characters.
std::optional<std::string> in_system_code_page(const std::wstring& text) {
    const int size = static_cast<int>(text.size());
    BOOL lossy = FALSE;
    const int bytes = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), size, nullptr,
                                          0, nullptr, &lossy);
    if (lossy || (bytes == 0 && size > 0)) {
        return std::nullopt;
    }
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), size, out.data(), bytes, nullptr,
                        nullptr);
    return out;
}

// IDOK (1) to IDNO (7) answer OK (0) to No (6); a box that could not be shown counts as OK,
// as on a system without a user interface.
DialogButton code_of(int id) {
    return id >= IDOK && id <= IDNO ? static_cast<DialogButton>(id - IDOK) : DialogButton::Ok;
}

class Win32Dialogs final : public DialogBackend {
public:
    DialogButton message_box(const MessageBoxRequest& request) override {
        const auto owner = reinterpret_cast<HWND>(request.owner);
        const std::wstring text = wide(request.text);
        const std::wstring caption = wide(request.caption);
        const std::optional<std::string> ansi_text = in_system_code_page(text);
        const std::optional<std::string> ansi_caption = in_system_code_page(caption);
        // The ANSI box, as the program has always shown it; the wide one only for a text the
        // system code page cannot hold, so that nothing shows as question marks.
        if (ansi_text && ansi_caption) {
            return code_of(
                MessageBoxA(owner, ansi_text->c_str(), ansi_caption->c_str(), request.flags));
        }
        return code_of(MessageBoxW(owner, text.c_str(), caption.c_str(), request.flags));
    }

    std::string browse_for_folder(const FolderRequest& request) override {
        const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        const std::wstring title = wide(request.title);
        BROWSEINFOW info{};
        info.hwndOwner = GetActiveWindow();
        info.lpszTitle = title.c_str();
        info.ulFlags = BIF_EDITBOX | (request.include_files ? BIF_BROWSEINCLUDEFILES : 0);
        std::string result;
        if (PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info)) {
            wchar_t path[MAX_PATH] = {};
            // An item outside the file system (a printer, the network) has no path.
            if (SHGetPathFromIDListW(item, path)) {
                result = narrow(path);
            }
            CoTaskMemFree(item);
        }
        if (SUCCEEDED(com)) {
            CoUninitialize();
        }
        return result;
    }
};

Win32Dialogs g_system;
DialogBackend* g_backend = &g_system;

}  // namespace

DialogBackend& dialogs() {
    return *g_backend;
}

DialogBackend* set_dialog_backend(DialogBackend* backend) {
    DialogBackend* previous = g_backend == &g_system ? nullptr : g_backend;
    g_backend = backend ? backend : &g_system;
    return previous;
}

}  // namespace wavlon::platform
