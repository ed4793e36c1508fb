// The window objects built from the stored template.
//
// install_window_template runs once at start: it decodes the template, builds one window
// object per window of the directory and relocates every event binding from its stored
// routine number to the program's routine of that name (or to none). From then on every
// access names a window id and a unit id (see live_window.h); the records of a window that
// is not loaded still answer for its units' stored values.
//
// User-interface thread only.
#pragma once

#include <cstdint>
#include <span>

#include "runtime/live_window.h"
#include "runtime/routine.h"

namespace wavlon::runtime {

// Decodes `bytes`, builds the window objects and relocates the handlers through
// `routine_names` (stored routine number -> name) and `lookup` (name -> routine). A template
// that does not decode, or a handler number that the name list does not hold, is fatal:
// "载入窗口模板数据段出错!". Installs the name resolver of the fatal report.
void install_window_template(std::span<const std::uint8_t> bytes,
                             std::span<const char* const> routine_names,
                             const RoutineLookup& lookup);

// Destroys every window and forgets the template (tests; a second install replaces the first).
void uninstall_window_template();

}  // namespace wavlon::runtime
