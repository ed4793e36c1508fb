// The program's start: the runtime, the application object, the main window, the loop.
#pragma once

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

}  // namespace wavlon::app
