#include "app/window_activation.h"

#include <utility>

#include "app/main_window_units.h"
#include "platform/codec.h"
#include "player/open_location.h"
#include "runtime/window_table.h"

namespace wavlon::app {
namespace {

std::vector<std::string> g_waiting_paths;

}  // namespace

bool main_window_ready() {
    const runtime::LiveWindow* window = runtime::find_live_window(units::kMainWindowId);
    return window && window->state == runtime::WindowState::kLoaded;
}

bool open_paths(const std::vector<std::string>& paths) {
    if (!main_window_ready()) {
        g_waiting_paths.insert(g_waiting_paths.end(), paths.begin(), paths.end());
        return false;
    }
    for (const std::string& path : paths) {
        if (player::play_location(platform::file_name_to_gbk(path))) {
            return true;
        }
    }
    return false;
}

void open_waiting_paths() {
    open_paths(std::exchange(g_waiting_paths, {}));
}

}  // namespace wavlon::app
