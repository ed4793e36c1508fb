// The user-interface message loop.
#pragma once

#include <functional>
#include <memory>

namespace wavlon::runtime {

// Runs the message loop until the last window has gone. Returns at once when no window
// exists. Needs the application object (QApplication) to exist; quitting when the last
// top-level widget closes is switched off, so a message box shown before the main window
// does not end the program.
void run_message_loop();

// True while run_message_loop runs.
bool message_loop_running();

// Runs `task` from the message loop once the current event has been handled; may be called
// from any thread. False (and nothing queued) when there is no application object to run it.
bool post_to_message_loop(std::function<void()> task);

// Handles the events already waiting (input, timers, posted tasks) and returns.
void process_pending_events();

// Called by the loader when the last window has been destroyed: ends the running loop.
void notify_last_window_gone();

// Ends the program's run from outside its windows (the session ends): the running loop and
// any modal one inside it return, and a later run_message_loop returns at once, so the
// caller can destroy the windows and end the process normally.
void end_message_loop();

// A repeating timer of the message loop: its callback runs on the user-interface thread every
// `interval` milliseconds while it is started. Starting it again restarts the period.
// User-interface thread only.
class LoopTimer {
public:
    explicit LoopTimer(std::function<void()> callback);
    ~LoopTimer();
    LoopTimer(const LoopTimer&) = delete;
    LoopTimer& operator=(const LoopTimer&) = delete;

    void start(int interval_ms);
    void stop();
    bool active() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace wavlon::runtime
