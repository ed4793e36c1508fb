// Start and end of the program: the run directory, end routines and the exit.
#pragma once

#include <functional>

#include "runtime/text.h"

namespace wavlon::runtime {

// Prepares the runtime: finds the program's own directory (platform/files.h) and makes it
// the current directory. Call once, first thing in main.
void init_runtime();

// The program's directory, without a trailing "/".
const Text& run_directory_path();

// Tests: makes run_directory_path() answer `directory` instead of the program's own folder.
// The empty text goes back to the program's own folder.
void set_run_directory_for_tests(Text directory);

// Routines run by end_program, in registration order; a routine registered twice runs once.
void register_end_routine(void (*routine)());

// Ends the process with `code` after the end routines (events are suppressed first).
// Exit code -1 reaches the shell as 255.
[[noreturn]] void end_program(int code);

}  // namespace wavlon::runtime
