#include "runtime/window_table.h"

#include "runtime/fatal.h"
#include "runtime/window_loader.h"

namespace wavlon::runtime {
namespace {

[[noreturn]] void template_unreadable() {
    fatal_error("载入窗口模板数据段出错!"_gb);
}

// Stored routine number -> the program's routine, or an empty one for "no handler" and for
// names the program has no routine for (yet).
class Relocator {
public:
    Relocator(std::span<const char* const> names, const RoutineLookup& lookup)
        : m_names(names), m_lookup(lookup) {}

    Routine relocate(std::uint32_t handler) const {
        if (handler == kNoHandler) {
            return {};
        }
        if (handler >= m_names.size() || m_names[handler] == nullptr) {
            template_unreadable();
        }
        return m_lookup ? m_lookup(m_names[handler]) : Routine{};
    }

private:
    std::span<const char* const> m_names;
    const RoutineLookup& m_lookup;
};

std::unique_ptr<LiveWindow> build_window(WindowBlock block, const Relocator& relocator) {
    auto window = std::make_unique<LiveWindow>();
    window->id = block.id;
    const auto& records = block.store.records;
    if (records.empty() || block.store.ids.size() != records.size()) {
        template_unreadable();  // a window needs at least its own record
    }
    window->bindings.resize(records.size());
    window->menu_routines.resize(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const UnitRecord& record = records[i];
        if (record.is_menu_item()) {
            window->menu_routines[i] = relocator.relocate(record.menu_handler);
            continue;
        }
        for (const EventBinding& binding : record.events) {
            window->bindings[i].push_back({binding.event, relocator.relocate(binding.handler)});
        }
    }
    window->units.resize(records.size());
    window->control_ids.assign(records.size(), 0);
    window->block = std::move(block);
    return window;
}

// Names windows and units in the details of the fatal report.
class WindowNames final : public FatalNameResolver {
public:
    std::optional<Text> window_name(std::uint32_t window_id) override {
        LiveWindow* window = find_live_window(window_id);
        if (!window) {
            return std::nullopt;
        }
        const Text& own = window->block.store.records.front().name;
        return own.empty() ? window->block.text1 : own;
    }
    std::optional<Text> unit_name(std::uint32_t window_id, std::uint32_t unit_id) override {
        LiveWindow* window = find_live_window(window_id);
        int record = window ? find_record(*window, unit_id) : -1;
        if (record < 0) {
            return std::nullopt;
        }
        return window->block.store.records[static_cast<std::size_t>(record)].name;
    }
};
WindowNames g_names;

}  // namespace

void install_window_template(std::span<const std::uint8_t> bytes,
                             std::span<const char* const> routine_names,
                             const RoutineLookup& lookup) {
    uninstall_window_template();
    auto decoded = decode_template(bytes);
    auto* window_template = std::get_if<WindowTemplate>(&decoded);
    if (!window_template) {
        template_unreadable();
    }
    Relocator relocator(routine_names, lookup);
    std::vector<std::unique_ptr<LiveWindow>> windows;
    for (WindowBlock& block : window_template->windows) {
        windows.push_back(build_window(std::move(block), relocator));
    }
    replace_live_windows(std::move(windows));
    set_fatal_name_resolver(&g_names);
}

void uninstall_window_template() {
    // Last to first, so that windows a modal one disabled are restored before they go.
    auto windows = live_windows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        if ((*it)->exists()) {
            destroy_window(**it);
        }
    }
    replace_live_windows({});
}

}  // namespace wavlon::runtime
