// The readable window-template description and its compiler.
//
// A description is UTF-8 text, one statement per line; '#' outside a text starts a comment
// that runs to the end of the line; indentation is for the reader only. Tokens are separated by
// blanks; a text is written in double quotes (\" and \\ escape). Numbers are decimal or 0x-hex.
//
//   window <window id>                 starts a window; the keys below apply to it
//   unit <name> <Type> <unit id>       starts a unit of the current window (template order)
//
// A unit's name is also its name in the program's code (units::按钮2), so it is an identifier.
// The comment lines directly above a `window` or `unit` statement (no blank line between) are
// its role; the generated units header repeats them above the unit.
//
// Keys (each at most once, except `event` and `column`):
//   rect <left> <top> <width> <height>                 every record (required)
//   state visible|hidden enabled|disabled [tabstop]    every record (required)
//   tag "<text>"                                       every record
//   event <number> <routine>                           every record; binds by routine name
//   record <id>                                        window: its own record's id (required)
//   name <identifier>                                  window: its name in the program's code
//                                                      (not stored; the record's name is empty)
//   id-constant <identifier>                           window: the constant for its id there
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

// A unit as the program's code names it.
struct NamedUnit {
    std::string name;        // UTF-8 identifier; empty for a window without a name
    std::string unit_class;  // the runtime's class for the type, e.g. "ButtonUnit"
    std::string header;      // where that class is declared, e.g. "runtime/units/button_unit.h"
    std::uint32_t id = 0;    // the unit id; 0 for the window itself
    std::vector<std::string> role;  // its comment lines, without '#'
};

struct NamedWindow {
    std::uint32_t id = 0;
    std::string id_constant;  // empty: the id is written as a number
    NamedUnit own;            // the window itself
    std::vector<NamedUnit> units;  // template order
};

struct CompiledTemplate {
    runtime::WindowTemplate window_template;
    std::vector<std::string> routines;  // handler k names routines[k]
    std::vector<NamedWindow> names;     // one per window, in description order
};

// Compiles a description. On failure the result is one message "<file>:<line>: <what>".
std::variant<CompiledTemplate, std::string> compile_description(std::string_view source,
                                                                std::string_view file_name);

// A C++ source defining `kMainWindowTemplate` and `kMainWindowRoutines` (declared in
// app/main_window_template.h) from the encoded bytes and routine names.
std::string generate_source(std::span<const std::uint8_t> bytes,
                            const std::vector<std::string>& routines,
                            std::string_view description_name);

// A C++ header declaring, in wavlon::units, a UnitRef for every named window and unit and a
// constant for every window id that has one; each preceded by its role.
std::string generate_units_header(const std::vector<NamedWindow>& windows,
                                  std::string_view description_name);

}  // namespace wavlon::tools
