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

// Every row of the table has its class, and the class answers to the row's id.
#define WAVLON_CHECK_CLASS(name, id, Block) \
    static_assert(name##Unit::kTypeId == (id), #name "Unit has the id of another row");
WAVLON_UNIT_TYPES(WAVLON_CHECK_CLASS)
#undef WAVLON_CHECK_CLASS

void register_standard_units() {
#define WAVLON_REGISTER(name, id, Block) runtime::register_unit_type(name##Unit::type_info());
    WAVLON_UNIT_TYPES(WAVLON_REGISTER)
#undef WAVLON_REGISTER
}

}  // namespace wavlon::units
