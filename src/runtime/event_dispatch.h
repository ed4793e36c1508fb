// Event dispatch: a unit raises an event, the dispatcher calls the routine bound to it.
//
// User-interface thread only; routines run synchronously inside dispatch_event.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>

#include "runtime/unit.h"
#include "runtime/value.h"

namespace wavlon::runtime {

// Calls the routine bound to event `event` of the unit (unit id 0: the window itself) with
// `arguments` and returns its result. Returns the empty value without calling anything while
// events are suppressed, and when the event has no binding or its binding no routine.
// Fatal: "未找到引发事件的窗口" (no such window), "未找到引发事件的窗口组件" (no such unit),
// "引发事件的窗口组件无效" (the unit's type may not raise events).
Value dispatch_event(std::uint32_t window_id, std::uint32_t unit_id, std::int32_t event,
                     std::span<const Value> arguments = {});

struct EventSource {
    std::uint32_t window_id = 0;
    std::uint32_t unit_id = 0;
    friend bool operator==(const EventSource&, const EventSource&) = default;
};
// The unit whose event routine is running (the innermost one), or nullopt.
std::optional<EventSource> current_event_source();

// Called each time an outermost event routine has returned: what the window shows may have
// changed. One observer; a new call replaces it, an empty function removes it.
void set_after_event_observer(std::function<void()> observer);

// Destroys a unit that left its window. While an event routine runs, the unit that raised the
// event may be the one going, so destruction waits until the outermost routine has returned
// and, when there is a message loop, until the loop runs again.
void retire_unit(std::unique_ptr<Unit> unit);

}  // namespace wavlon::runtime
