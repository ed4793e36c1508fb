// The runtime's one fatal-error report.
//
// Every failure of the program itself (a bad array index, an allocation that fails, a
// property access to a window that is not loaded, a damaged window template) ends here:
// events are suppressed, a message box captioned "错误" shows what happened, and the program
// ends with exit code -1. Tests install a sink of their own instead of the real box.
#pragma once

#include <cstdint>
#include <optional>

#include "runtime/text.h"

namespace wavlon::runtime {

// Runtime error texts by number (1 to 11).
const Text& runtime_error_text(int number);

// Names shown in the report's details. The window layer installs a resolver once windows
// exist; without one every window counts as not found.
class FatalNameResolver {
public:
    virtual ~FatalNameResolver() = default;
    // nullopt: no window with this id.
    virtual std::optional<Text> window_name(std::uint32_t window_id) = 0;
    // nullopt: the window has no unit with this id.
    virtual std::optional<Text> unit_name(std::uint32_t window_id, std::uint32_t unit_id) = 0;
};
void set_fatal_name_resolver(FatalNameResolver* resolver);

// Where a finished report goes. The default shows the message box and ends the program.
class FatalReportSink {
public:
    virtual ~FatalReportSink() = default;
    // `caption` is "错误", `text` the whole box text. Must not return.
    [[noreturn]] virtual void report(const Text& caption, const Text& text) = 0;
};
// nullptr restores the default sink. Returns the previous sink.
FatalReportSink* set_fatal_report_sink(FatalReportSink* sink);

// The box text: "运行时出错!\r\n", the error number (when not 0), the message (when not
// empty) and the details naming the window and unit (or routine and position).
Text format_fatal_report(int number, const Text& message, std::uint32_t first_id,
                         std::uint32_t second_id);

// Reports runtime error `number` (its text from the table) at a place in the program.
[[noreturn]] void report_runtime_error(int number, std::uint32_t routine_id = 0,
                                       std::uint32_t position = 0);
// Reports a fatal failure with its own message; `first_id` is a window id (or routine id),
// `second_id` a unit id (or position).
[[noreturn]] void fatal_error(const Text& message, std::uint32_t first_id = 0,
                              std::uint32_t second_id = 0, int number = 0);

}  // namespace wavlon::runtime
