// The window objects: one per window of the installed template, holding the window's records,
// its relocated event bindings and the units created from them. The loader, the dispatcher,
// the message loop and the property access find windows and units here; window_table fills
// the table from the template.
//
// User-interface thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "runtime/routine.h"
#include "runtime/template_format.h"
#include "runtime/unit.h"

namespace wavlon::runtime {

enum class WindowState { kClosed, kCreating, kLoaded, kClosing };

struct BoundEvent {
    std::int32_t event = 0;
    Routine routine;  // empty: no routine (a stored "no handler" or a routine the program lacks)
};

struct LiveWindow {
    std::uint32_t id = 0;
    WindowBlock block;  // the records: stored values, updated by writes to units not created
    std::vector<std::vector<BoundEvent>> bindings;  // per record
    std::vector<Routine> menu_routines;             // per record (menu-item records only)
    std::vector<std::unique_ptr<Unit>> units;       // live-object slots, per record
    std::vector<std::int32_t> control_ids;          // per record, 0 for the window record
    WindowState state = WindowState::kClosed;
    // Windows this one disabled when it was loaded modal, with their previous enabled state.
    std::vector<std::pair<std::uint32_t, bool>> disabled_by_modal;

    bool exists() const { return state != WindowState::kClosed; }
    Unit* unit(std::size_t record) const {
        return record < units.size() ? units[record].get() : nullptr;
    }
};

// The created unit, or nullptr when the window, the unit or its creation is missing.
Unit* live_unit(std::uint32_t window_id, std::uint32_t unit_id);

// nullptr when the template holds no window with this id.
LiveWindow* find_live_window(std::uint32_t window_id);
// Index of the unit's record, -1 when there is none. Unit id 0 names the window's record.
int find_record(const LiveWindow& window, std::uint32_t unit_id);
// Every window object, in directory order.
std::span<const std::unique_ptr<LiveWindow>> live_windows();

// True when any window exists (created or being created).
bool any_window_exists();

// Replaces every window object. The windows of the old table must have been destroyed.
void replace_live_windows(std::vector<std::unique_ptr<LiveWindow>> windows);

}  // namespace wavlon::runtime
