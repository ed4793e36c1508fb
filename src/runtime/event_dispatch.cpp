#include "runtime/event_dispatch.h"

#include <utility>
#include <vector>

#include "runtime/event_suppression.h"
#include "runtime/fatal.h"
#include "runtime/live_window.h"
#include "runtime/message_loop.h"

namespace wavlon::runtime {
namespace {

std::vector<EventSource> g_sources;  // innermost last
// Never destroyed at exit, like the window table (see live_window.cpp).
std::vector<std::unique_ptr<Unit>>& g_retired = *new std::vector<std::unique_ptr<Unit>>;

bool g_burial_queued = false;

void bury_retired() {
    g_burial_queued = false;
    if (!g_sources.empty()) {
        // Run by a modal loop inside an event routine, whose units may be among them: they go
        // once the outermost routine has returned (its end queues the burial again).
        return;
    }
    // A unit's destructor may retire further units; take them in turns.
    while (!g_retired.empty()) {
        auto units = std::move(g_retired);
        g_retired.clear();
        units.clear();
    }
}

// The routine's unit may be the sender of the signal still being delivered below the
// dispatcher, so with a message loop the retired units go once that delivery is over.
void bury_retired_later() {
    if (g_retired.empty() || g_burial_queued) {
        return;
    }
    g_burial_queued = post_to_message_loop(bury_retired);
    if (!g_burial_queued) {
        bury_retired();
    }
}

// Keeps (window, unit) as the current source while the routine runs, also when it leaves
// through a fatal report.
std::function<void()> g_after_event;

class SourceScope {
public:
    explicit SourceScope(EventSource source) { g_sources.push_back(source); }
    ~SourceScope() {
        g_sources.pop_back();
        if (g_sources.empty()) {
            bury_retired_later();
            if (g_after_event) {
                g_after_event();
            }
        }
    }
    SourceScope(const SourceScope&) = delete;
    SourceScope& operator=(const SourceScope&) = delete;
};

// The record whose bindings serve `record`: its event link is followed while the linked
// unit is in the window and of the same type. A chain that loops stops where it began.
std::size_t binding_record(const LiveWindow& window, std::size_t record) {
    const auto& records = window.block.store.records;
    std::size_t current = record;
    for (std::size_t steps = 0; steps < records.size(); ++steps) {
        std::uint32_t link = records[current].event_link;
        if (link == 0) {
            break;
        }
        int next = find_record(window, link);
        if (next < 0 || records[static_cast<std::size_t>(next)].type != records[record].type) {
            break;
        }
        current = static_cast<std::size_t>(next);
    }
    return current;
}

}  // namespace

Value dispatch_event(std::uint32_t window_id, std::uint32_t unit_id, std::int32_t event,
                     std::span<const Value> arguments) {
    if (events_suppressed()) {
        return {};
    }
    LiveWindow* window = find_live_window(window_id);
    if (!window) {
        fatal_error("未找到引发事件的窗口"_gb, window_id, unit_id);
    }
    int record = find_record(*window, unit_id);
    if (record < 0) {
        fatal_error("未找到引发事件的窗口组件"_gb, window_id, unit_id);
    }
    auto index = static_cast<std::size_t>(record);
    const UnitTypeInfo* type = find_unit_type(window->block.store.records[index].type);
    if (!type || !type->may_raise_events()) {
        fatal_error("引发事件的窗口组件无效"_gb, window_id, unit_id);
    }
    // Copy the routine: the routine may close the window that holds the binding.
    Routine routine;
    for (const BoundEvent& bound : window->bindings[binding_record(*window, index)]) {
        if (bound.event == event) {
            routine = bound.routine;
            break;
        }
    }
    if (!routine) {
        return {};
    }
    SourceScope scope({window_id, unit_id});
    return routine(arguments);
}

void set_after_event_observer(std::function<void()> observer) {
    g_after_event = std::move(observer);
}

std::optional<EventSource> current_event_source() {
    if (g_sources.empty()) {
        return std::nullopt;
    }
    return g_sources.back();
}

void retire_unit(std::unique_ptr<Unit> unit) {
    g_retired.push_back(std::move(unit));
    if (g_sources.empty()) {
        bury_retired();
    }
}

}  // namespace wavlon::runtime
