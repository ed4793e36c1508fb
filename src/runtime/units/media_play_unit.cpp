#include "runtime/units/media_play_unit.h"

#include "runtime/units/property_table.h"
#include "runtime/units/unit_block.h"
#include "widget_unit.h"  // the toolkit's: runtime/units/qt or runtime/units/win

namespace wavlon::units {

const runtime::UnitTypeInfo& MediaPlayUnit::type_info() {
    static const runtime::UnitTypeInfo info = describe_unit_type<MediaPlayUnit>(
        "媒体播放"_gb, "MediaPlay", runtime::kTypeNonVisual, create_unit<MediaPlayUnit>);
    return info;
}

MediaPlayUnit::MediaPlayUnit(const runtime::UnitCreateParams& params) : NonVisualUnit(params) {
    // A video window handle counts only when it names one of the program's widgets.
    m_device.set_window_check(names_a_unit_window);
}

}  // namespace wavlon::units
