// Event routines: the program's code that the dispatcher calls when a unit raises an event.
#pragma once

#include <functional>
#include <span>
#include <string_view>

#include "runtime/value.h"

namespace wavlon::runtime {

// Called with the event's arguments in order; the result goes back to the unit that raised
// the event (the empty value when the routine gives none).
using Routine = std::function<Value(std::span<const Value> arguments)>;

// The program's routine of this name, or an empty Routine when the program has none.
using RoutineLookup = std::function<Routine(std::string_view name)>;

}  // namespace wavlon::runtime
