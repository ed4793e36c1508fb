// The readable window-template description and its compiler.
//
// A description is UTF-8 text, one statement per line; '#' outside a text starts a comment
// that runs to the end of the line; indentation is for the reader only. Tokens are separated by
// blanks; a text is written in double quotes (\" and \\ escape). Numbers are decimal or 0x-hex.
//
//   window <window id>                 starts a window; the keys below apply to it
//   unit <name> <Type> <unit id>       starts a unit of the current window (template order)
//
// Keys (each at most once, except `event` and `column`):
//   rect <left> <top> <width> <height>                 every record (required)
//   state visible|hidden enabled|disabled [tabstop]    every record (required)
//   tag "<text>"                                       every record
//   event <number> <routine>                           every record; binds by routine name
//   record <id>                                        window: its own record's id (required)
//   attributes <A> <B>                                 window
//   border <style>, start-position <n>                 window
//   maximise-button, minimise-button, control-box, movable, top-most  yes|no   window
//   caption "<text>"                                   window, TransLabel, Button
//   content "<text>"                                   EditBox
//   text-colour <r> <g> <b>                            TransLabel, EditBox, ListBox, ListView
//   background default | <r> <g> <b>                   window, EditBox, ListBox, ListView
//   font "<face>" <pixel height> [bold]                TransLabel, Button, EditBox, ListBox,
//                                                      ListView
//   interval <ms>                                      Timer
//   range <minimum> <maximum> <position>               SliderBar
//   view icon|small-icon|list|report                   ListView
//   column "<heading>" left|centre|right <width>       ListView, in display order
//
// Types: TransLabel, Button, EditBox, ListBox, ListView, SliderBar, Timer, MediaPlay,
// SysVolume. Handlers are numbered by routine name: the distinct names of the whole
// description sorted, counted from 0.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "runtime/template_format.h"

namespace wavlon::tools {

struct CompiledTemplate {
    runtime::WindowTemplate window_template;
    std::vector<std::string> routines;  // handler k names routines[k]
};

// Compiles a description. On failure the result is one message "<file>:<line>: <what>".
std::variant<CompiledTemplate, std::string> compile_description(std::string_view source,
                                                                std::string_view file_name);

// A C++ source defining `kMainWindowTemplate` and `kMainWindowRoutines` (declared in
// app/main_window_template.h) from the encoded bytes and routine names.
std::string generate_source(std::span<const std::uint8_t> bytes,
                            const std::vector<std::string>& routines,
                            std::string_view description_name);

}  // namespace wavlon::tools
