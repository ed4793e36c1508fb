// The window objects built from the stored template, and where the loader, the dispatcher and
// the property access find them.
//
// install_window_template runs once at start: it decodes the template, builds one window
// object per window of the directory and relocates every event binding from its stored
// routine number to the program's routine of that name (or to none). From then on every
// access names a window id and a unit id; the records of a window that is not loaded still
// answer for its units' stored values.
//
// User-interface thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "runtime/routine.h"
#include "runtime/template_format.h"
#include "runtime/unit.h"

namespace wavlon::runtime {

// Decodes `bytes`, builds the window objects and relocates the handlers through
// `routine_names` (stored routine number -> name) and `lookup` (name -> routine). A template
// that does not decode, or a handler number that the name list does not hold, is fatal:
// "载入窗口模板数据段出错!". Installs the name resolver of the fatal report.
void install_window_template(std::span<const std::uint8_t> bytes,
                             std::span<const char* const> routine_names,
                             const RoutineLookup& lookup);

// Destroys every window and forgets the template (tests; a second install replaces the first).
void uninstall_window_template();

// The created unit, or nullptr when the window, the unit or its creation is missing.
Unit* live_unit(std::uint32_t window_id, std::uint32_t unit_id);

// ---- Shared by the loader, the dispatcher and the property access ----

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

// nullptr when the template holds no window with this id.
LiveWindow* find_live_window(std::uint32_t window_id);
// Index of the unit's record, -1 when there is none. Unit id 0 names the window's record.
int find_record(const LiveWindow& window, std::uint32_t unit_id);
// Every window object, in directory order.
std::span<const std::unique_ptr<LiveWindow>> live_windows();

// True when any window exists (created or being created).
bool any_window_exists();

}  // namespace wavlon::runtime
