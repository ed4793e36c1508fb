// The main window's event table: which routine answers which unit event.
//
// The stored window template binds each unit event to a routine by name; when the template is
// installed, every name is looked up here. A name the table does not hold binds to nothing,
// so the event then raises no routine.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "runtime/routine.h"

namespace wavlon::app {

struct EventTableRow {
    const char* unit;  // template name; "启动窗口" for the window itself
    std::int32_t event;
    const char* routine_name;
    runtime::Routine routine;
};

std::span<const EventTableRow> main_window_event_table();

// The routine of that name, or an empty Routine when the table has none.
runtime::Routine find_routine(std::string_view name);

}  // namespace wavlon::app
