// How the program's routines read and write the main window's units: properties by their
// index, converted to the value the routines work with; the unit types' own methods
// (add_item, item_count, get_item_text...) are called on the unit itself. The player, the
// search and the start-up all go through these, so a property is read one way everywhere.
//
// User-interface thread only. A unit whose window is not loaded is the runtime's fatal error.
#pragma once

#include <cstdint>

#include "app/main_window_units.h"
#include "runtime/array.h"
#include "runtime/text.h"

namespace wavlon::player {

template <class T>
runtime::Text text_of(const units::UnitRef<T>& unit, int index) {
    const runtime::Value value = unit.read(index);
    const runtime::Text* text = value.get<runtime::Text>();
    return text ? *text : runtime::Text{};
}

template <class T>
void set_text(const units::UnitRef<T>& unit, int index, const runtime::Text& text) {
    unit.write(index, runtime::Value::text(text));
}

template <class T>
std::int32_t integer_of(const units::UnitRef<T>& unit, int index) {
    const runtime::Value value = unit.read(index);
    const std::int32_t* integer = value.get<std::int32_t>();
    return integer ? *integer : 0;
}

template <class T>
void set_integer(const units::UnitRef<T>& unit, int index, std::int32_t value) {
    unit.write(index, runtime::Value::integer(value));
}

template <class T>
bool logical_of(const units::UnitRef<T>& unit, int index) {
    const runtime::Value value = unit.read(index);
    const bool* flag = value.get<bool>();
    return flag && *flag;
}

template <class T>
bool is_visible(const units::UnitRef<T>& unit) {
    return logical_of(unit, runtime::property::kVisible);
}

template <class T>
void set_visible(const units::UnitRef<T>& unit, bool visible) {
    unit.write(runtime::property::kVisible, runtime::Value::logical(visible));
}

template <class T>
void set_disabled(const units::UnitRef<T>& unit, bool disabled) {
    unit.write(runtime::property::kDisabled, runtime::Value::logical(disabled));
}

// The devices of 媒体播放1 and 系统音量1.
inline units::MediaPlayDevice& media_player() {
    return units::媒体播放1->device();
}
inline units::SysVolumeDevice& system_volume() {
    return units::系统音量1->device();
}

// The main window's caption.
inline void set_window_caption(const runtime::Text& caption) {
    set_text(units::启动窗口, units::WindowUnit::kCaption, caption);
}

}  // namespace wavlon::player
