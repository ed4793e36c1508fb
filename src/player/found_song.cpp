#include "player/found_song.h"

#include <cctype>

#include "app/main_window_units.h"
#include "player/program_state.h"
#include "player/progress.h"
#include "player/window_units.h"
#include "runtime/media_play_state.h"

namespace wavlon::player {

using runtime::operator""_gb;
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
    set_window_caption(cell(row, 1) + "-" + cell(row, 2));
    set_text(u::按钮2, u::ButtonUnit::kCaption, "暂 停"_gb);
    // A found song that cannot be opened starts nothing in its place.
    program_state().skip_if_unplayable = false;
    set_text(u::编辑框2, u::EditBoxUnit::kContent, cell(row, 3));
    set_text(u::编辑框4, u::EditBoxUnit::kContent, cell(row, 3));

    // The address comes from a remote answer: anything but a web address could name a local
    // file or device, so it is not opened. The previous song is closed either way, so that a
    // refused address reads like one that failed to open (length 0).
    const Text address = text_of(u::编辑框4, u::EditBoxUnit::kContent);
    if (is_web_address(address)) {
        media_player().open(address);
        media_player().play(runtime::media_play::kFromCurrentPosition);
    } else {
        media_player().close();
    }
    set_integer(u::滑块条1, u::SliderBarUnit::kMaximum, media_player().get_length() / 1000);
    set_text(u::透明标签1, u::TransLabelUnit::kCaption, format_total_time());

    program_state().track_paths.append(cell(row, 3));
    const Text name = cell(row, 1) + " - " + cell(row, 2);
    u::列表框1->add_item(name, u::列表框1->item_count() + 1);
    set_text(u::编辑框1, u::EditBoxUnit::kContent, name);
    return 0;
}

}  // namespace wavlon::player
