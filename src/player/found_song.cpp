#include "player/found_song.h"

#include <cctype>

#include "app/main_window_units.h"
#include "player/playback.h"
#include "player/window_units.h"

namespace wavlon::player {

using runtime::Text;
namespace u = units;

namespace {

bool starts_with_ignoring_case(runtime::TextView text, runtime::TextView prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) {
            return false;
        }
    }
    return true;
}

// Cells are read at the moment each is needed, never kept from an earlier read.
Text cell(std::int32_t row, std::int32_t column) {
    return u::超级列表框1->get_item_text(row, column);
}

}  // namespace

bool is_web_address(runtime::TextView address) {
    return starts_with_ignoring_case(address, "http://") ||
           starts_with_ignoring_case(address, "https://");
}

std::int32_t play_found_song() {
    const std::int32_t row = integer_of(u::超级列表框1, u::ListViewUnit::kCurrentRow);
    if (row < 0) {
        return 0;
    }
    // The address comes from a remote answer: anything but a web address could name a local
    // file or device, so it is not opened.
    const Text address = cell(row, 3);
    playback().play_found(cell(row, 1), cell(row, 2), address, is_web_address(address));
    return 0;
}

}  // namespace wavlon::player
