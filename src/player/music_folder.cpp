#include "player/music_folder.h"

#include <vector>

#include "app/main_window_units.h"
#include "player/playback.h"
#include "player/program_state.h"
#include "player/window_units.h"
#include "runtime/config_file.h"
#include "runtime/config_location.h"
#include "runtime/file_commands.h"
#include "runtime/system_commands.h"
#include "runtime/text_commands.h"

namespace wavlon::player {

using runtime::operator""_gb;
using runtime::Text;
namespace u = units;

namespace {

const Text& config_section() {
    return "config"_gb;
}
const Text& folder_key() {
    return "路径"_gb;
}
constexpr std::string_view kConfigFileName = "config.ini";

}  // namespace

Text read_setting(const Text& key) {
    return runtime::read_config_item(runtime::config_file_to_read(kConfigFileName),
                                     config_section(), key);
}

Text read_stored_music_folder() {
    return read_setting(folder_key());
}

bool store_music_folder(const Text& folder) {
    return runtime::write_config_item(runtime::config_file_to_write(kConfigFileName),
                                      config_section(), folder_key(), folder);
}

Text display_name(const Text& file_name) {
    Text name = file_name;
    const std::int32_t slash = runtime::find_text_reverse(name, "/");
    if (slash != -1) {
        name = runtime::text_right(name, runtime::text_byte_length(name) - slash);
    }
    const std::int32_t dot = runtime::find_text(name, ".");
    return dot == -1 ? name : runtime::text_left(name, dot - 1);
}

std::vector<Text> music_files(const Text& folder) {
    std::vector<Text> names;
    if (folder.empty()) {
        return names;
    }
    // The search is this routine's own, so a search of a calling routine is left alone.
    runtime::FileSearchScope search;
    for (Text name = runtime::find_file(folder + "/*.mp3"); !name.empty();
         name = runtime::find_file({})) {
        names.push_back(std::move(name));
    }
    runtime::close_find();
    return names;
}

void scan_music_folder(const Text& folder) {
    list_music_files(folder, music_files(folder));
}

void list_music_files(const Text& folder, const std::vector<Text>& names) {
    // Items are added to the list box together: one layout and one repaint of the list
    // instead of one per track.
    std::vector<Text> shown;
    std::vector<std::int32_t> values;
    runtime::Array<Text>& track_paths = program_state().track_paths;
    for (const Text& name : names) {
        track_paths.append(folder + "/" + name);
        shown.push_back(display_name(name));
        values.push_back(track_paths.size());
    }
    u::列表框1->add_items(shown, values);
}

void replace_track_list(const Text& folder, const std::vector<Text>& names) {
    u::列表框1->clear_items();
    program_state().track_paths.clear();
    list_music_files(folder, names);
    // Emptying 编辑框2 raises its change event, whose routine empties the hint.
    playback().forget_track();
}

void load_stored_music_folder() {
    scan_music_folder(read_stored_music_folder());
}

void show_folder_hint() {
    const Text hint =
        u::列表框1->item_count() == 0 ? "请先点击浏览文件选项找到需播放的文件"_gb : Text{};
    set_text(u::透明标签3, u::TransLabelUnit::kCaption, hint);
}

void choose_music_folder() {
    // The dialog comes first: a cancelled choice must not stop playback, empty the list or
    // overwrite the stored folder.
    const Text folder = runtime::browse_for_folder("请选择音乐文件存放目录"_gb);
    if (folder.empty()) {
        return;
    }
    // A folder that cannot be stored (read-only directory) still serves this run.
    store_music_folder(folder);
    replace_track_list(folder, music_files(folder));
    if (system_volume().get_mute() == 1) {
        system_volume().set_mute(false);
    }
}

}  // namespace wavlon::player
