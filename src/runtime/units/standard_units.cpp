#include "runtime/units/standard_units.h"

#include "runtime/units/button_unit.h"
#include "runtime/units/edit_box_unit.h"
#include "runtime/units/list_box_unit.h"
#include "runtime/units/list_view_unit.h"
#include "runtime/units/media_play_unit.h"
#include "runtime/units/slider_bar_unit.h"
#include "runtime/units/sys_volume_unit.h"
#include "runtime/units/timer_unit.h"
#include "runtime/units/trans_label_unit.h"
#include "runtime/units/window_unit.h"

namespace wavlon::units {

void register_standard_units() {
    for (const runtime::UnitTypeInfo* type : {
             &WindowUnit::type_info(),
             &EditBoxUnit::type_info(),
             &ButtonUnit::type_info(),
             &ListBoxUnit::type_info(),
             &SliderBarUnit::type_info(),
             &TimerUnit::type_info(),
             &SysVolumeUnit::type_info(),
             &MediaPlayUnit::type_info(),
             &ListViewUnit::type_info(),
             &TransLabelUnit::type_info(),
         }) {
        runtime::register_unit_type(*type);
    }
}

}  // namespace wavlon::units
