#include "runtime/window_loader.h"

#include <algorithm>
#include <optional>
#include <set>
#include <utility>

#include "runtime/event_dispatch.h"
#include "runtime/event_suppression.h"
#include "runtime/message_loop.h"

namespace wavlon::runtime {
namespace {

constexpr std::int32_t kFirstControlId = 100;
constexpr std::int32_t kControlIdStep = 10;
constexpr std::int32_t kCreationEvent = 0;
constexpr std::int32_t kFocusReceivedEvent = -7;

UnitRect clamped_rect(UnitRect rect) {
    rect.width = std::clamp(rect.width, 0, kMaxUnitExtent);
    rect.height = std::clamp(rect.height, 0, kMaxUnitExtent);
    return rect;
}

const UnitRecord& record_at(const LiveWindow& window, std::size_t index) {
    return window.block.store.records[index];
}

std::unique_ptr<Unit> create_unit(const LiveWindow& window, std::size_t index,
                                  std::span<const std::uint8_t> block, Unit* window_unit,
                                  std::int32_t control_id) {
    const UnitRecord& record = record_at(window, index);
    const UnitTypeInfo* type = find_unit_type(record.type);
    if (!type || !type->create) {
        return nullptr;
    }
    UnitCreateParams params;
    params.window_id = window.id;
    params.unit_id = window.block.store.ids[index];
    params.record = &record;
    params.block = block;
    if (!type->non_visual()) {
        params.visible = (record.flags & kFlagVisible) != 0;
        params.disabled = (record.flags & kFlagDisabled) != 0;
        params.tab_stop = (record.flags & kFlagTabStop) != 0;
    }
    params.window = window_unit;
    params.control_id = control_id;
    params.rect = clamped_rect({record.left, record.top, record.width, record.height});
    return type->create(params);
}

bool is_placeable(const LiveWindow& window, std::size_t index) {
    const UnitRecord& record = record_at(window, index);
    const UnitTypeInfo* type = find_unit_type(record.type);
    return !record.is_menu_item() && type && !type->non_visual() && window.unit(index);
}

// The unit a record sits in: its parent's unit, or the window when it names none (or one
// that is not there).
Unit* parent_unit(const LiveWindow& window, std::size_t index) {
    std::uint32_t parent = record_at(window, index).parent;
    int parent_record = parent == 0 ? -1 : find_record(window, parent);
    if (parent_record > 0 && window.unit(static_cast<std::size_t>(parent_record))) {
        return window.unit(static_cast<std::size_t>(parent_record));
    }
    return window.unit(0);
}

// Children of a paged container after its first zero id start on a hidden page.
std::set<std::uint32_t> children_on_hidden_pages(const LiveWindow& window) {
    std::set<std::uint32_t> hidden;
    for (const UnitRecord& record : window.block.store.records) {
        const UnitTypeInfo* type = find_unit_type(record.type);
        if (!type || (type->flags & kTypePagedContainer) == 0) {
            continue;
        }
        auto first_zero = std::find(record.children.begin(), record.children.end(), 0u);
        for (auto it = first_zero; it != record.children.end(); ++it) {
            if (*it != 0) {
                hidden.insert(*it);
            }
        }
    }
    return hidden;
}

// Creates every unit; false (with nothing left created) when one cannot be.
bool create_units(LiveWindow& window) {
    const auto& records = window.block.store.records;
    window.units[0] = create_unit(window, 0, records[0].type_block, nullptr, 0);
    if (!window.units[0]) {
        return false;
    }
    std::int32_t control_id = kFirstControlId;
    for (std::size_t i = records.size() - 1; i >= 1; --i) {
        if (records[i].is_menu_item()) {
            continue;
        }
        window.units[i] = create_unit(window, i, records[i].type_block, window.unit(0), control_id);
        if (!window.units[i]) {
            return false;
        }
        window.control_ids[i] = control_id;
        control_id += kControlIdStep;
    }
    return true;
}

void place_units(LiveWindow& window) {
    const auto& records = window.block.store.records;
    for (std::size_t i = 1; i < records.size(); ++i) {
        if (is_placeable(window, i) && records[i].parent != 0) {
            window.unit(i)->set_parent(*parent_unit(window, i));
        }
    }
    // Each unit goes directly below the nearest earlier record with the same parent, so the
    // first record of a parent is on top.
    for (std::size_t i = 1; i < records.size(); ++i) {
        if (!is_placeable(window, i)) {
            continue;
        }
        Unit* above = nullptr;
        for (std::size_t j = i - 1; j >= 1 && !above; --j) {
            if (is_placeable(window, j) && parent_unit(window, j) == parent_unit(window, i)) {
                above = window.unit(j);
            }
        }
        if (above) {
            window.unit(i)->stack_under(*above);
        } else {
            window.unit(i)->raise_to_top();
        }
    }
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (Unit* unit = window.unit(i)) {
            unit->set_cursor(records[i].cursor);
        }
    }
}

void show_units(LiveWindow& window) {
    const auto& records = window.block.store.records;
    for (std::size_t i = records.size() - 1; i >= 1; --i) {
        if (Unit* unit = window.unit(i)) {
            unit->on_units_created();
        }
    }
    window.unit(0)->on_units_created();
    std::set<std::uint32_t> hidden = children_on_hidden_pages(window);
    for (std::size_t i = 1; i < records.size(); ++i) {
        if (is_placeable(window, i)) {
            bool visible = (records[i].flags & kFlagVisible) != 0 &&
                           !hidden.contains(window.block.store.ids[i]);
            window.unit(i)->set_visible(visible);
        }
    }
}

std::optional<std::size_t> focused_record(const LiveWindow& window) {
    for (std::size_t i = 1; i < window.units.size(); ++i) {
        if (window.unit(i) && window.unit(i)->has_focus()) {
            return i;
        }
    }
    return std::nullopt;
}

void disable_other_windows(LiveWindow& window) {
    for (const auto& other : live_windows()) {
        if (other.get() != &window && other->exists() && other->unit(0)) {
            window.disabled_by_modal.emplace_back(other->id, other->unit(0)->enabled());
            other->unit(0)->set_enabled(false);
        }
    }
}

}  // namespace

bool load_window(std::uint32_t window_id, bool modal) {
    LiveWindow* window = find_live_window(window_id);
    if (!window) {
        return false;
    }
    if (window->state == WindowState::kClosing) {
        finish_window_close(window_id);
    }
    if (window->exists()) {
        if (Unit* unit = window->unit(0)) {
            unit->bring_to_front();
        }
        return true;
    }

    try {
        {
            EventSuppression suppression;
            window->state = WindowState::kCreating;
            if (!create_units(*window)) {
                destroy_window(*window);
                return false;
            }
            place_units(*window);
            show_units(*window);
        }
        for (std::int32_t event : {kCreationEvent, 3, 4}) {
            if (!window->exists()) {
                return false;
            }
            dispatch_event(window_id, 0, event);
        }
        if (!window->exists()) {
            return false;
        }
        if (window->block.store.records[0].flags & kFlagVisible) {
            window->unit(0)->show_window();
            if (auto focus = focused_record(*window)) {
                dispatch_event(window_id, window->block.store.ids[*focus], kFocusReceivedEvent);
            }
        }
        if (!window->exists()) {
            return false;
        }
        if (modal) {
            disable_other_windows(*window);
        }
        auto focus = focused_record(*window);
        for (std::size_t i = 0; i < window->units.size(); ++i) {
            if (Unit* unit = window->unit(i)) {
                unit->on_window_ready();
            }
        }
        if (focus && window->unit(*focus)) {
            window->unit(*focus)->take_focus();
        }
        if (window->state == WindowState::kCreating) {  // not when a close began meanwhile
            window->state = WindowState::kLoaded;
        }
        return true;
    } catch (...) {
        // A fatal report that returns (in tests) leaves no half-made window behind.
        if (window->exists()) {
            destroy_window(*window);
        }
        throw;
    }
}

bool window_exists(std::uint32_t window_id) {
    LiveWindow* window = find_live_window(window_id);
    return window && window->exists();
}

void close_window(std::uint32_t window_id) {
    LiveWindow* window = find_live_window(window_id);
    if (window && window->exists()) {
        destroy_window(*window);
    }
}

void begin_window_close(std::uint32_t window_id) {
    LiveWindow* window = find_live_window(window_id);
    if (window && window->exists()) {
        window->state = WindowState::kClosing;
    }
}

void finish_window_close(std::uint32_t window_id) {
    LiveWindow* window = find_live_window(window_id);
    if (window && window->state == WindowState::kClosing) {
        destroy_window(*window);
    }
}

void destroy_window(LiveWindow& window) {
    for (auto [id, was_enabled] : window.disabled_by_modal) {
        LiveWindow* other = find_live_window(id);
        if (other && other->exists() && other->unit(0)) {
            other->unit(0)->set_enabled(was_enabled);
        }
    }
    window.disabled_by_modal.clear();
    // Children before the window that holds them.
    for (std::size_t i = window.units.size(); i-- > 0;) {
        if (window.units[i]) {
            retire_unit(std::move(window.units[i]));
        }
    }
    std::fill(window.control_ids.begin(), window.control_ids.end(), 0);
    window.state = WindowState::kClosed;
    if (!any_window_exists()) {
        notify_last_window_gone();
    }
}

void recreate_unit(LiveWindow& window, std::size_t record) {
    Unit* old = window.unit(record);
    if (!old) {
        return;
    }
    EventSuppression suppression;
    std::vector<std::uint8_t> data = old->property_data();
    Unit* window_unit = record == 0 ? nullptr : window.unit(0);
    std::unique_ptr<Unit> fresh =
        create_unit(window, record, data, window_unit, window.control_ids[record]);
    if (!fresh) {
        return;  // the old unit stays, showing the old value
    }
    UnitRect rect = old->rect();
    fresh->set_rect(rect);
    fresh->set_enabled(old->enabled());
    if (record != 0 && record_at(window, record).parent != 0) {
        fresh->set_parent(*parent_unit(window, record));
    }
    fresh->adopt_children(*old);
    if (record != 0) {
        fresh->stack_under(*old);
    }
    fresh->set_cursor(record_at(window, record).cursor);
    fresh->on_units_created();
    fresh->on_window_ready();
    bool was_visible = old->visible();
    bool had_focus = old->has_focus();
    std::unique_ptr<Unit> retired = std::exchange(window.units[record], std::move(fresh));
    retired->set_visible(false);
    Unit* unit = window.unit(record);
    if (was_visible) {
        record == 0 ? unit->show_window() : unit->set_visible(true);
    }
    if (had_focus) {
        unit->take_focus();
    }
    retire_unit(std::move(retired));
}

}  // namespace wavlon::runtime
