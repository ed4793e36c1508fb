// The message loop on Windows: the thread's own GetMessage loop. Tasks posted from any thread
// wait in a queue of ours; a message to a hidden message-only window of the user-interface
// thread runs them, so that they also run inside modal loops (a message box's), which drop
// messages posted to the thread itself.
#include <windows.h>

#include <deque>
#include <map>
#include <mutex>

#include "runtime/live_window.h"
#include "runtime/message_loop.h"

namespace wavlon::runtime {
namespace {

constexpr UINT kRunTasks = WM_APP + 1;

bool g_running = false;
bool g_ended = false;

std::mutex g_tasks_mutex;
std::deque<std::function<void()>> g_tasks;  // guarded by g_tasks_mutex
HWND g_task_window = nullptr;               // guarded by g_tasks_mutex
// Static initialisation runs on the program's first thread, its user-interface thread.
const DWORD g_ui_thread = GetCurrentThreadId();

void run_tasks() {
    for (;;) {
        std::function<void()> task;
        {
            std::lock_guard lock(g_tasks_mutex);
            if (g_tasks.empty()) {
                return;
            }
            task = std::move(g_tasks.front());
            g_tasks.pop_front();
        }
        task();
    }
}

LRESULT CALLBACK task_window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == kRunTasks) {
        run_tasks();
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

// Made on the user-interface thread the first time its loop runs.
void make_task_window() {
    if (GetCurrentThreadId() != g_ui_thread) {
        return;
    }
    {
        std::lock_guard lock(g_tasks_mutex);
        if (g_task_window != nullptr) {
            return;
        }
    }
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = task_window_procedure;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"WavlonTasks";
    RegisterClassW(&window_class);
    HWND window = CreateWindowExW(0, L"WavlonTasks", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  window_class.hInstance, nullptr);
    std::lock_guard lock(g_tasks_mutex);
    g_task_window = window;
    if (!g_tasks.empty()) {
        PostMessageW(window, kRunTasks, 0, 0);
    }
}

// The program's window a message belongs to, when it is one: Tab, the arrow keys and the
// default button work there as in a dialog.
bool dialog_navigation(MSG& message) {
    if (message.hwnd == nullptr || message.message < WM_KEYFIRST || message.message > WM_KEYLAST) {
        return false;
    }
    HWND root = GetAncestor(message.hwnd, GA_ROOT);
    return root != nullptr && GetPropW(root, L"Wavlon.Window") != nullptr &&
           IsDialogMessageW(root, &message);
}

// One message: tasks posted to the thread before the window existed run here too.
void handle(MSG& message) {
    if (message.hwnd == nullptr && message.message == kRunTasks) {
        run_tasks();
        return;
    }
    if (dialog_navigation(message)) {
        return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

}  // namespace

void run_message_loop() {
    if (g_ended || !any_window_exists()) {
        return;
    }
    make_task_window();
    g_running = true;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        handle(message);
    }
    g_running = false;
}

bool message_loop_running() {
    return g_running;
}

bool post_to_message_loop(std::function<void()> task) {
    std::lock_guard lock(g_tasks_mutex);
    g_tasks.push_back(std::move(task));
    if (g_task_window != nullptr) {
        return PostMessageW(g_task_window, kRunTasks, 0, 0) != 0;
    }
    // A thread without a queue yet drops this; the task then waits for the task window, which
    // runs whatever is waiting when it is made.
    PostThreadMessageW(g_ui_thread, kRunTasks, 0, 0);
    return true;
}

void process_pending_events() {
    make_task_window();
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Left for the loop that waits for it.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        handle(message);
    }
}

void end_message_loop() {
    if (GetCurrentThreadId() != g_ui_thread) {
        // WM_QUIT goes to the calling thread's queue: from elsewhere the end goes to the loop.
        post_to_message_loop(end_message_loop);
        return;
    }
    g_ended = true;
    // WM_QUIT ends every loop of the thread: a modal dialog's too, which posts it on.
    PostQuitMessage(0);
}

void notify_last_window_gone() {
    if (g_running) {
        PostQuitMessage(0);
    }
}

// Thread timers (SetTimer without a window): WM_TIMER reaches the timer procedure through
// DispatchMessage, in this loop and in modal ones alike.
struct LoopTimer::State {
    std::function<void()> callback;
    UINT_PTR id = 0;
};

namespace {

std::map<UINT_PTR, const std::function<void()>*>& running_timers() {
    static std::map<UINT_PTR, const std::function<void()>*> timers;
    return timers;
}

void CALLBACK timer_procedure(HWND, UINT, UINT_PTR id, DWORD) {
    auto& timers = running_timers();
    if (auto found = timers.find(id); found != timers.end()) {
        // The callback may destroy the timer: nothing of it is touched afterwards.
        std::function<void()> callback = *found->second;
        callback();
    }
}

}  // namespace

LoopTimer::LoopTimer(std::function<void()> callback) : m_state(std::make_unique<State>()) {
    m_state->callback = std::move(callback);
}

LoopTimer::~LoopTimer() {
    stop();
}

void LoopTimer::start(int interval_ms) {
    stop();
    m_state->id = SetTimer(nullptr, 0, static_cast<UINT>(interval_ms), timer_procedure);
    if (m_state->id != 0) {
        running_timers()[m_state->id] = &m_state->callback;
    }
}

void LoopTimer::stop() {
    if (m_state->id != 0) {
        KillTimer(nullptr, m_state->id);
        running_timers().erase(m_state->id);
        m_state->id = 0;
    }
}

bool LoopTimer::active() const {
    return m_state->id != 0;
}

}  // namespace wavlon::runtime
