// Units and unit types: what the window runtime asks of every unit, whatever draws it.
//
// The loader builds windows from their template records through the type registry: each
// `UnitTypeInfo` says how a unit of its type is created and which properties it has; the
// created `Unit` then answers the runtime's requests (rectangle, visibility, enabled state,
// stacking, its own properties). The Qt unit types in runtime/units implement this interface;
// this header stays free of any toolkit.
//
// Everything here runs on the user-interface thread.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <vector>

#include "runtime/template_format.h"
#include "runtime/text.h"
#include "runtime/value.h"

namespace wavlon::runtime {

struct UnitRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    friend bool operator==(const UnitRect&, const UnitRect&) = default;
};

// Widths and heights written to a unit are held at this many pixels at most.
constexpr std::int32_t kMaxUnitExtent = 32627;

// Common properties of every windowed unit type; the type's own properties start at 8.
namespace property {
constexpr int kLeft = 0;
constexpr int kTop = 1;
constexpr int kWidth = 2;
constexpr int kHeight = 3;
constexpr int kTag = 4;
constexpr int kVisible = 5;
constexpr int kDisabled = 6;
constexpr int kCursor = 7;
constexpr int kFirstOwn = 8;
}  // namespace property

// Value type codes of properties.
enum class PropertyType : std::uint16_t {
    kInteger = 1001,
    kDouble = 1002,
    kLogical = 1003,
    kDateTime = 1004,
    kText = 1005,
    kChoice = 1006,  // integer index into a fixed list
    kPicture = 1009,
    kIcon = 1010,
    kCursor = 1011,
    kSound = 1012,
    kFont = 1013,  // the 60-byte logical font, as a byte-set
    kColour = 1014,
    kBackColour = 1015,
    kColour3 = 1017,
    kImageList = 1023,
    kItemData = 1024,
};

struct PropertyInfo {
    PropertyType type = PropertyType::kInteger;
    std::uint32_t flags = 0;
};

class Unit;

// What the loader hands a type's create routine.
struct UnitCreateParams {
    std::uint32_t window_id = 0;
    std::uint32_t unit_id = 0;           // the record's id (the window record's own id for windows)
    const UnitRecord* record = nullptr;  // name, flags, stored values
    std::span<const std::uint8_t> block;  // type-specific block (fresh data on re-creation)
    bool visible = false;                 // collected; the loader shows the unit later
    bool disabled = false;
    bool tab_stop = false;
    Unit* window = nullptr;  // the window's own unit; nullptr when creating the window itself
    std::int32_t control_id = 0;
    UnitRect rect;
};

// A created unit. The runtime owns it through the window's live-object slot.
class Unit {
public:
    virtual ~Unit() = default;

    // Left and top in the parent's client area; for a window, its outer rectangle on screen.
    virtual UnitRect rect() const = 0;
    virtual void set_rect(const UnitRect& rect) = 0;
    // The unit's own visible flag (a unit may be "visible" inside a window not yet shown).
    virtual bool visible() const = 0;
    virtual void set_visible(bool visible) = 0;
    virtual bool enabled() const = 0;
    virtual void set_enabled(bool enabled) = 0;

    // Placement inside another unit's client area (the window when the record names none).
    virtual void set_parent(Unit& /*parent*/) {}
    // Stacking among siblings: the top, or directly below `above`.
    virtual void raise_to_top() {}
    virtual void stack_under(Unit& /*above*/) {}
    virtual void set_cursor(std::span<const std::uint8_t> /*cursor_block*/) {}
    virtual bool has_focus() const { return false; }
    virtual void take_focus() {}
    // Containers move the child units of `old` into themselves on re-creation.
    virtual void adopt_children(Unit& /*old*/) {}

    // on_units_created: every unit of the window exists; on_window_ready: the window shows.
    virtual void on_units_created() {}
    virtual void on_window_ready() {}

    // Window units only: show per the stored start position; restore when minimised or
    // else activate.
    virtual void show_window() { set_visible(true); }
    virtual void bring_to_front() {}

    // The type's own properties (index 8 and above). set_property answers true when the unit
    // must be created anew for the change to show.
    virtual bool set_property(int index, const Value& value) = 0;
    virtual Value get_property(int index) const = 0;
    // A type-specific block holding the current values, to create the unit anew from.
    virtual std::vector<std::uint8_t> property_data() const = 0;
};

// Type flags.
constexpr std::uint32_t kTypeNonVisual = 0x8000;      // never shown, no window of its own
constexpr std::uint32_t kTypeRaisesEvents = 0x44;     // any of these bits: may raise events
constexpr std::uint32_t kTypePagedContainer = 0x100;  // children split into pages by zero ids

struct UnitTypeInfo {
    std::uint32_t type_id = 0;
    Text name;  // Chinese name, GB18030
    const char* english_name = "";
    std::uint32_t flags = 0;
    std::vector<PropertyInfo> properties;  // index = property index; size = property count
    // Creates the unit (hidden); nullptr when it cannot be created.
    std::unique_ptr<Unit> (*create)(const UnitCreateParams& params) = nullptr;

    int property_count() const { return static_cast<int>(properties.size()); }
    bool non_visual() const { return (flags & kTypeNonVisual) != 0; }
    bool may_raise_events() const { return (flags & kTypeRaisesEvents) != 0; }
};

// The eight common properties followed by the type's own (index 8 onwards).
std::vector<PropertyInfo> common_properties_and(std::initializer_list<PropertyType> own);

// Registers a type; a second registration with the same id replaces the first.
void register_unit_type(UnitTypeInfo info);
// nullptr when no type has this id.
const UnitTypeInfo* find_unit_type(std::uint32_t type_id);

}  // namespace wavlon::runtime
