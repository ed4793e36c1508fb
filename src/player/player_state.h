// The player's program-wide state, and the small property helpers its routines share.
//
// Everything else the player keeps lives in unit properties of the main window: the caption
// of 按钮2 is the playback state, the content of 编辑框2 the current track's location, the
// caption of 按钮9 the countdown state. User-interface thread only.
#pragma once

#include <cstdint>
#include <optional>

#include "app/main_window_units.h"
#include "runtime/array.h"
#include "runtime/text.h"

namespace wavlon::player {

// Location of every listed track (local paths and addresses of found songs). Entry n belongs
// to the 列表框1 item whose value is n. Empty at start.
extern runtime::Array<runtime::Text> track_paths;

// Remaining seconds of the power-off countdown; may go below zero while a power-off is
// refused. 0 at start.
extern std::int32_t countdown_seconds;

// Entry `index` of track_paths, or nullopt when the index lies outside it, so that no item
// value, selection or timer tick can reach past the list.
std::optional<runtime::Text> track_path(std::int64_t index);

// ---- Unit properties by reference, converted to the value the routines work with ----

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
bool is_visible(const units::UnitRef<T>& unit) {
    const runtime::Value value = unit.read(runtime::property::kVisible);
    const bool* flag = value.get<bool>();
    return flag && *flag;
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
void set_window_caption(const runtime::Text& caption);

}  // namespace wavlon::player
