#include "player/time_text.h"

#include <algorithm>

#include "player/window_units.h"

namespace wavlon::player {

using runtime::Text;

namespace {

// A field of a time text: two digits at least, every digit of a larger number.
Text time_field(std::int64_t value) {
    Text digits = runtime::decimal(value);
    return value < 10 ? "0" + digits : digits;
}

}  // namespace

Text time_text(std::int64_t seconds) {
    seconds = std::max<std::int64_t>(seconds, 0);
    return time_field(seconds / 60) + ":" + time_field(seconds % 60);
}

Text format_total_time() {
    return time_text(media_player().get_length_seconds());
}

}  // namespace wavlon::player
