// The skins the program carries: 33 byte-sets in the stored layout (u32 1, u32 length, the
// skin's bytes), numbered from 1, generated at build time from resources/skins.
#pragma once

#include <cstdint>
#include <span>

namespace wavlon::app {

// The stored byte-set of skin `number` (1..stored_skin_count()); empty for any other number.
std::span<const std::uint8_t> stored_skin(int number);
int stored_skin_count();

}  // namespace wavlon::app
