// The end of the user's session as the program sees it: SIGTERM (a logout, a shutdown,
// systemd stopping the session), SIGHUP (the terminal or session leader gone) and SIGINT.
//
// Without this the signals end the process at once, wherever it is. With it they become a
// call on the user-interface thread, from the message loop, so the program can leave its loop
// and end as when its window is closed. On Windows the same holds for the session ending
// (WM_QUERYENDSESSION, WM_ENDSESSION), a polite "taskkill" (WM_CLOSE) and Ctrl+C or Ctrl+Break
// in a console; the process may be ended as soon as `on_end` returns after WM_ENDSESSION.
#pragma once

#include <functional>

namespace wavlon::platform {

// From now on the three signals run `on_end` on the user-interface thread (once per signal
// received, as soon as the message loop runs). Call once, after the application object
// exists, from the user-interface thread. False when the signals could not be taken over;
// they then keep their default action.
bool on_session_end(std::function<void()> on_end);

}  // namespace wavlon::platform
