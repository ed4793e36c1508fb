#include "app/event_table.h"

#include <type_traits>
#include <vector>

#include "app/start_up.h"

namespace wavlon::app {
namespace {

using runtime::Value;

// The routines take no arguments; one without a result hands back the empty value.
template <auto routine>
Value call(std::span<const Value>) {
    if constexpr (std::is_void_v<decltype(routine())>) {
        routine();
        return {};
    } else {
        return routine();
    }
}

// clang-format off
const std::vector<EventTableRow>& rows() {
    static const std::vector<EventTableRow> table = {
        // unit         event  routine name               routine
        {"启动窗口",    0,     "on_main_window_created",  call<on_main_window_created>},
        {"时钟1",       0,     "update_clock_label",      call<update_clock_label>},
    };
    return table;
}
// clang-format on

}  // namespace

std::span<const EventTableRow> main_window_event_table() {
    return rows();
}

runtime::Routine find_routine(std::string_view name) {
    for (const EventTableRow& row : rows()) {
        if (name == row.routine_name) {
            return row.routine;
        }
    }
    return {};
}

}  // namespace wavlon::app
