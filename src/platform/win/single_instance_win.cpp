// One running player on Windows: a named mutex of the login session is the lock, and a hidden
// window of the first instance, found by its class and name, takes the later starts' requests
// as WM_COPYDATA. The system closes the mutex with the process, however it ends.
#include <windows.h>

#include <algorithm>
#include <deque>
#include <optional>
#include <thread>

#include "platform/single_instance.h"
#include "platform/single_instance_request.h"
#include "platform/win/wide_text.h"

namespace wavlon::platform {
namespace {

constexpr wchar_t kWindowClass[] = L"WavlonInstance";
// Marks a WM_COPYDATA as a raise request of ours ("WAVL").
constexpr ULONG_PTR kRaiseRequest = 0x5741564C;
constexpr UINT kRunRequests = WM_APP + 1;

// "C:\..." or "C:/...", or a UNC path "\\server\...".
bool absolute(std::string_view path) {
    const bool drive = path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/') &&
                       ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    return drive || path.starts_with("\\\\");
}

// Kernel object names take no backslash after the namespace.
std::wstring name_part(const std::string& text) {
    std::wstring out = wide(text);
    for (wchar_t& c : out) {
        if (c == L'\\') {
            c = L'/';
        }
    }
    return out;
}

}  // namespace

struct SingleInstance::State {
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    void run_requests();

    HANDLE mutex = nullptr;
    HWND window = nullptr;
    std::wstring window_name;
    // Requests that came before a handler, or before the loop ran it.
    std::deque<RaiseRequest> waiting;
    RaiseHandler on_raise;
};

LRESULT CALLBACK SingleInstance::State::procedure(HWND window, UINT message, WPARAM wparam,
                                                  LPARAM lparam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* state = reinterpret_cast<State*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (state != nullptr && message == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lparam);
        if (data->dwData != kRaiseRequest || data->cbData > kMaxRaiseRequest) {
            return FALSE;
        }
        const std::string_view bytes(static_cast<const char*>(data->lpData), data->cbData);
        if (std::optional<RaiseRequest> parsed = parse_raise_request(bytes, absolute)) {
            // The sender waits for this answer: the handler runs later, from the loop.
            state->waiting.push_back(std::move(*parsed));
            PostMessageW(window, kRunRequests, 0, 0);
        }
        return TRUE;
    }
    if (state != nullptr && message == kRunRequests) {
        state->run_requests();
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

void SingleInstance::State::run_requests() {
    while (on_raise && !waiting.empty()) {
        RaiseRequest request = std::move(waiting.front());
        waiting.pop_front();
        on_raise(request.token, request.paths);
    }
}

std::string display_key() {
    // Named objects under Local\ belong to the login session already; the key only tells the
    // session's own programs apart from those of another.
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    return "session-" + std::to_string(session);
}

std::string default_instance_folder() {
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD size = GetTempPathW(MAX_PATH + 1, folder);
    if (size == 0 || size > MAX_PATH) {
        return {};
    }
    std::wstring path(folder, size);
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) {
        path.pop_back();
    }
    return narrow(path);
}

SingleInstance::SingleInstance(const std::string& key, const std::string& folder)
    : m_state(std::make_unique<State>()) {
    if (folder.empty() || key.empty()) {
        return;
    }
    // The folder is part of the name, so that instances of different folders stay apart.
    const std::wstring name = L"wavlon-" + name_part(key) + L"@" + name_part(folder);
    m_state->window_name = name;
    m_state->mutex = CreateMutexW(nullptr, FALSE, (L"Local\\" + name).c_str());
    const DWORD error = GetLastError();
    if (m_state->mutex == nullptr) {
        // Another user's or a more privileged process's mutex of the same name.
        m_role = error == ERROR_ACCESS_DENIED ? Role::Second : Role::Alone;
        return;
    }
    if (error == ERROR_ALREADY_EXISTS) {
        m_role = Role::Second;
        CloseHandle(m_state->mutex);
        m_state->mutex = nullptr;
        return;
    }
    m_role = Role::First;
    static const ATOM window_class = [] {
        WNDCLASSW description{};
        description.lpfnWndProc = State::procedure;
        description.hInstance = GetModuleHandleW(nullptr);
        description.lpszClassName = kWindowClass;
        return RegisterClassW(&description);
    }();
    // A hidden top-level window: FindWindowW finds it, and it never shows.
    if (window_class != 0) {
        m_state->window =
            CreateWindowExW(0, kWindowClass, name.c_str(), WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                            GetModuleHandleW(nullptr), m_state.get());
    }
}

SingleInstance::~SingleInstance() {
    if (m_state->window != nullptr) {
        DestroyWindow(m_state->window);
    }
    if (m_state->mutex != nullptr) {
        CloseHandle(m_state->mutex);
    }
}

bool SingleInstance::ask_first_to_raise(const std::string& activation_token,
                                        const std::vector<std::string>& paths,
                                        std::chrono::milliseconds timeout) {
    if (m_role != Role::Second || m_state->window_name.empty()) {
        return false;
    }
    std::string request = format_raise_request(activation_token, paths);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        // The first instance takes the mutex a moment before its window exists.
        if (HWND first = FindWindowW(kWindowClass, m_state->window_name.c_str())) {
            // The first instance may bring its window forward: this start has the right to.
            DWORD process = 0;
            GetWindowThreadProcessId(first, &process);
            AllowSetForegroundWindow(process);
            COPYDATASTRUCT data{kRaiseRequest, static_cast<DWORD>(request.size()), request.data()};
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            DWORD_PTR answer = FALSE;
            return SendMessageTimeoutW(
                       first, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                       static_cast<UINT>(std::max<long long>(left.count(), 1)), &answer) != 0 &&
                   answer == TRUE;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void SingleInstance::on_raise_requests(RaiseHandler on_raise) {
    m_state->on_raise = std::move(on_raise);
    if (m_state->window != nullptr) {
        PostMessageW(m_state->window, kRunRequests, 0, 0);
    }
}

}  // namespace wavlon::platform
