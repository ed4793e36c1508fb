// Skins: the look the program gives its window at start-up.
#pragma once

namespace wavlon::app {

// Hands skin `number` (meaningful from 1 to 33) to the skin engine with no hue, saturation
// or brightness shift. Any other number hands the engine an empty skin, which it refuses,
// leaving the system look. The engine lives inside the program, so nothing is written
// beside it and start-up works from a read-only directory. Never fails the program.
void apply_skin(int number);

}  // namespace wavlon::app
