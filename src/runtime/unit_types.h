// Every unit type the runtime creates, one row each: X(name, type id, block).
//
//   name   the type's name in window descriptions; its class is units::<name>Unit, declared in
//          runtime/units/<name in snake case>_unit.h (TransLabel: trans_label_unit.h).
//   id     (library number << 16) | type number, as unit records store it.
//   block  the settings its records store (runtime/template_blocks.h), OpaqueBlock for none.
//
// Everything else that names the types follows from these rows: the ids below, the block
// variant and its decoder (template_blocks), the registration of the unit classes
// (units/standard_units.cpp) and the description compiler's type names and default blocks.
// A new unit type is a row here plus its class.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

// clang-format off
#define WAVLON_UNIT_TYPES(X)                                    \
    X(Window,     0x00010001, WindowFormBlock)                  \
    X(EditBox,    0x00010005, EditBoxBlock)                     \
    X(Button,     0x0001000B, ButtonBlock)                      \
    X(ListBox,    0x0001000F, ListBoxBlock)                     \
    X(SliderBar,  0x00010014, SliderBarBlock)                   \
    X(Timer,      0x00010020, TimerBlock)                       \
    X(SysVolume,  0x00040001, OpaqueBlock)                      \
    X(MediaPlay,  0x00040006, OpaqueBlock)                      \
    X(ListView,   0x00050004, ListViewBlock)                    \
    X(TransLabel, 0x00050005, TransLabelBlock)                  \
    /* one row per type, above this line */
// clang-format on

namespace wavlon::runtime {

namespace unit_types {
#define WAVLON_UNIT_TYPE_ID(name, id, Block) inline constexpr std::uint32_t k##name = id;
WAVLON_UNIT_TYPES(WAVLON_UNIT_TYPE_ID)
#undef WAVLON_UNIT_TYPE_ID
}  // namespace unit_types

struct UnitTypeName {
    std::uint32_t id;
    std::string_view name;
};

// The rows' ids and names, in table order.
inline constexpr std::array kUnitTypeNames{
#define WAVLON_UNIT_TYPE_NAME(name, id, Block) UnitTypeName{id, #name},
    WAVLON_UNIT_TYPES(WAVLON_UNIT_TYPE_NAME)
#undef WAVLON_UNIT_TYPE_NAME
};

}  // namespace wavlon::runtime
