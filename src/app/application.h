// The program's start: the runtime, the application object, the main window, the loop.
#pragma once

#include <string>
#include <vector>

#include "platform/single_instance.h"

namespace wavlon::app {

// Runs the whole program and returns its exit code: 0 when the user closed the window, and 0
// at once when the program already runs for this user on this display (that one is asked to
// come forward instead). A fatal runtime error ends the process with -1 from wherever it
// happens.
int run_application(int argc, char** argv);

// Name, desktop entry (the Wayland application id; on X11 the window class is "Wavlon") and
// window icon of the application object, and Qt's texts in the system's language.
void set_up_application();

// The steps between the application object and the loop, also used by tests: stand-in fonts,
// unit types, the main window's template with its routines.
void prepare_main_window();
// Loads the main window (its creation routine runs first); a window that cannot be made is
// fatal: "载入启动窗口失败".
void load_main_window();

// What both systems do around the toolkit's start. A second start hands this start's `paths`
// to the first and answers true: the program then ends. (The first holds the lock but cannot
// be reached: better two players than none, so it answers false and says so.)
bool hand_over_to_first(platform::SingleInstance& instance, const std::string& activation_token,
                        const std::vector<std::string>& paths);
// Later starts' requests go to the window from now on; the main window loads; what this start
// was given plays ("Open with"), or what a later start handed over meanwhile.
void open_main_window(platform::SingleInstance& instance, const std::vector<std::string>& paths);

}  // namespace wavlon::app
