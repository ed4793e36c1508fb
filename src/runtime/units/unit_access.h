// How the program's routines reach a unit: by (window id, unit id), typed.
//
//   units::列表框1->add_item(name, value);            // a method of the unit's type
//   units::按钮2.write(ButtonUnit::kCaption, Value::text("暂 停"_gb));   // a property
//
// A unit whose window is not loaded is a fatal error ("未载入欲访问窗口组件所在的窗口"); a
// unit of another type than the reference says is the runtime error "数据或数组类型不匹配".
// User-interface thread only. The reference stays valid while the window is loaded; do not
// keep a pointer across a call that may close the window or re-create the unit.
#pragma once

#include <cstdint>

#include "runtime/fatal.h"
#include "runtime/unit_properties.h"
#include "runtime/window_table.h"

namespace wavlon::units {

using runtime::operator""_gb;

template <class T>
T& unit_as(std::uint32_t window_id, std::uint32_t unit_id) {
    runtime::Unit* unit = runtime::live_unit(window_id, unit_id);
    if (!unit) {
        runtime::fatal_error("未载入欲访问窗口组件所在的窗口"_gb, window_id, unit_id);
    }
    T* typed = dynamic_cast<T*>(unit);
    if (!typed) {
        runtime::report_runtime_error(5, window_id, unit_id);
    }
    return *typed;
}

template <class T>
struct UnitRef {
    std::uint32_t window_id;
    std::uint32_t unit_id;

    T& get() const { return unit_as<T>(window_id, unit_id); }
    T* operator->() const { return &get(); }

    runtime::Value read(int index, int element = -1) const {
        return runtime::read_unit_property(window_id, unit_id, index, element);
    }
    void write(int index, const runtime::Value& value) const {
        runtime::write_unit_property(window_id, unit_id, index, value);
    }
};

}  // namespace wavlon::units
