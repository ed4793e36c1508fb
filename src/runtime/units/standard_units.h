// Registers every unit type the program's windows use with the runtime's type registry.
// Call once after the application object exists and before loading a window; a second call
// does no harm.
#pragma once

namespace wavlon::units {

void register_standard_units();

}  // namespace wavlon::units
