#include "runtime/live_window.h"

#include <algorithm>

namespace wavlon::runtime {
namespace {

// Never destroyed: a process that ends through exit() without the runtime's own ending (the
// display server gone, for one) must not destroy units after their toolkit has stopped. The
// runtime's ending destroys the windows itself (uninstall_window_template).
std::vector<std::unique_ptr<LiveWindow>>& g_windows = *new std::vector<std::unique_ptr<LiveWindow>>;

}  // namespace

LiveWindow* find_live_window(std::uint32_t window_id) {
    for (auto& window : g_windows) {
        if (window->id == window_id) {
            return window.get();
        }
    }
    return nullptr;
}

int find_record(const LiveWindow& window, std::uint32_t unit_id) {
    if (unit_id == 0) {
        return 0;
    }
    const auto& ids = window.block.store.ids;
    auto it = std::find(ids.begin(), ids.end(), unit_id);
    return it == ids.end() ? -1 : static_cast<int>(it - ids.begin());
}

Unit* live_unit(std::uint32_t window_id, std::uint32_t unit_id) {
    LiveWindow* window = find_live_window(window_id);
    int record = window ? find_record(*window, unit_id) : -1;
    return record < 0 ? nullptr : window->unit(static_cast<std::size_t>(record));
}

std::span<const std::unique_ptr<LiveWindow>> live_windows() {
    return g_windows;
}

bool any_window_exists() {
    return std::any_of(g_windows.begin(), g_windows.end(),
                       [](const auto& window) { return window->exists(); });
}

void replace_live_windows(std::vector<std::unique_ptr<LiveWindow>> windows) {
    g_windows = std::move(windows);
}

}  // namespace wavlon::runtime
