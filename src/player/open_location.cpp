#include "player/open_location.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "app/main_window_units.h"
#include "player/music_folder.h"
#include "player/playback.h"
#include "runtime/file_commands.h"
#include "runtime/text_commands.h"

namespace wavlon::player {

using runtime::Text;
namespace u = units;

namespace {

constexpr std::uint32_t kDirectoryAttribute = 0x10;

Text without_trailing_slashes(Text path) {
    while (path.size() > 1 && path.ends_with('/')) {
        path = runtime::text_left(path, runtime::text_byte_length(path) - 1);
    }
    return path;
}

}  // namespace

bool play_location(const Text& location) {
    const std::optional<std::uint32_t> attributes = runtime::file_attributes(location);
    if (!attributes || !location.starts_with('/')) {
        return false;
    }
    Text folder;
    std::optional<Text> wanted;  // the file to play; the first track when not given
    if ((*attributes & kDirectoryAttribute) != 0) {
        folder = without_trailing_slashes(location);
    } else {
        const std::int32_t slash = runtime::find_text_reverse(location, "/");
        folder = runtime::text_left(location, slash - 1);
        wanted = runtime::text_right(location, runtime::text_byte_length(location) - slash);
    }
    const std::vector<Text> names = music_files(folder);
    const auto found = wanted ? std::find(names.begin(), names.end(), *wanted) : names.begin();
    if (found == names.end()) {
        return false;
    }
    replace_track_list(folder, names);
    u::列表框1->select_item(static_cast<std::int32_t>(found - names.begin()));
    play_selected_track();
    return true;
}

}  // namespace wavlon::player
