// Where the program's settings file lives.
//
// A program running from the folder the build installs it to (/usr/bin for the package) keeps
// its settings in the user's folder for them, $XDG_CONFIG_HOME/wavlon (~/.config/wavlon when
// XDG_CONFIG_HOME is unset, empty or not an absolute path), always: also when that folder
// would take the file (a program run by root), since no file there belongs to one user.
//
// A copy run from anywhere else (a portable copy) keeps its settings file beside the program
// (run_directory()): whenever this process may write the file there, every read and write
// goes there, as it always has. When that folder refuses writes the settings live in the
// user's folder; a file beside the program is still read until the first write, which goes to
// the user's file seeded with its content, so nothing stored beside the program is lost and
// the file beside it is never changed.
//
// On Windows the user's folder is %APPDATA%/Wavlon, and no copy counts as installed (unless a
// test names a folder): one whose folder refuses writes (under Program Files, say) keeps its
// settings in the user's folder, seeded from the file beside it.
//
// Names are texts of the program's code page; the environment is read on every call.
#pragma once

#include <string_view>

#include "runtime/text.h"

namespace wavlon::runtime {

// The user's folder for the program's settings, without a trailing "/": $XDG_CONFIG_HOME/wavlon,
// else $HOME/.config/wavlon, else the home folder of the password database + "/.config/wavlon".
// Empty when no home can be found.
Text user_config_folder();

// The folder the program is installed to (the build's install bin folder; empty on Windows),
// where a program counts as installed; tests may name another one (the empty text: the
// build's again).
Text installed_program_folder();
void set_installed_program_folder_for_tests(Text folder);

// The settings file `name` to read from: the user's file for an installed program; beside the
// program when it can be written there, else the user's file once it exists, else the (read-only or
// missing) file beside the program.
Text config_file_to_read(std::string_view name);

// The settings file `name` that a write goes to: the user's file for an installed program
// (its folder made first; the empty text, which refuses the write, without a user folder).
// Otherwise beside the program when it can be written
// there. Otherwise the user's file, made ready first: its folder is created (folders made get
// mode 0700) and, while it does not exist yet, the file beside the program is copied into it.
// When no user folder can be found, the file beside the program, whose write then fails.
Text config_file_to_write(std::string_view name);

}  // namespace wavlon::runtime
