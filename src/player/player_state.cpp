#include "player/player_state.h"

namespace wavlon::player {

runtime::Array<runtime::Text> track_paths;
std::int32_t countdown_seconds = 0;

std::optional<runtime::Text> track_path(std::int64_t index) {
    if (index < 1 || index > track_paths.size()) {
        return std::nullopt;
    }
    return track_paths.at(index);
}

void set_window_caption(const runtime::Text& caption) {
    set_text(units::启动窗口, units::WindowUnit::kCaption, caption);
}

}  // namespace wavlon::player
