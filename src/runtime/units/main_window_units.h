// The main window's units by their template names, for the program's routines:
//   units::按钮2.write(ButtonUnit::kCaption, ...);  units::列表框1->item_count();
#pragma once

#include "runtime/units/button_unit.h"
#include "runtime/units/edit_box_unit.h"
#include "runtime/units/list_box_unit.h"
#include "runtime/units/list_view_unit.h"
#include "runtime/units/media_play_unit.h"
#include "runtime/units/slider_bar_unit.h"
#include "runtime/units/sys_volume_unit.h"
#include "runtime/units/timer_unit.h"
#include "runtime/units/trans_label_unit.h"
#include "runtime/units/unit_access.h"
#include "runtime/units/window_unit.h"

namespace wavlon::units {

constexpr std::uint32_t kMainWindowId = 0x52010001;

// The window itself (its own record).
inline constexpr UnitRef<WindowUnit> 启动窗口{kMainWindowId, 0};

inline constexpr UnitRef<ListBoxUnit> 列表框1{kMainWindowId, 0x16010078};
inline constexpr UnitRef<MediaPlayUnit> 媒体播放1{kMainWindowId, 0x16012BFF};
inline constexpr UnitRef<SysVolumeUnit> 系统音量1{kMainWindowId, 0x160157AC};
inline constexpr UnitRef<ListViewUnit> 超级列表框1{kMainWindowId, 0x160158FF};

inline constexpr UnitRef<ButtonUnit> 按钮1{kMainWindowId, 0x16010004};
inline constexpr UnitRef<ButtonUnit> 按钮2{kMainWindowId, 0x16010005};
inline constexpr UnitRef<ButtonUnit> 按钮3{kMainWindowId, 0x16010006};
inline constexpr UnitRef<ButtonUnit> 按钮4{kMainWindowId, 0x160157DB};
inline constexpr UnitRef<ButtonUnit> 按钮5{kMainWindowId, 0x160157DC};
inline constexpr UnitRef<ButtonUnit> 按钮6{kMainWindowId, 0x16015834};
inline constexpr UnitRef<ButtonUnit> 按钮7{kMainWindowId, 0x160158DF};
inline constexpr UnitRef<ButtonUnit> 按钮8{kMainWindowId, 0x16015901};
inline constexpr UnitRef<ButtonUnit> 按钮9{kMainWindowId, 0x16018559};

inline constexpr UnitRef<TimerUnit> 时钟1{kMainWindowId, 0x16010008};
inline constexpr UnitRef<TimerUnit> 时钟2{kMainWindowId, 0x16010009};
inline constexpr UnitRef<TimerUnit> 时钟3{kMainWindowId, 0x16012BFC};
inline constexpr UnitRef<TimerUnit> 时钟4{kMainWindowId, 0x16018551};

inline constexpr UnitRef<SliderBarUnit> 滑块条1{kMainWindowId, 0x16012BD0};
inline constexpr UnitRef<SliderBarUnit> 滑块条2{kMainWindowId, 0x160157AE};

inline constexpr UnitRef<EditBoxUnit> 编辑框1{kMainWindowId, 0x160157E2};
inline constexpr UnitRef<EditBoxUnit> 编辑框2{kMainWindowId, 0x1601001F};
inline constexpr UnitRef<EditBoxUnit> 编辑框3{kMainWindowId, 0x16015900};
inline constexpr UnitRef<EditBoxUnit> 编辑框4{kMainWindowId, 0x1601849D};
inline constexpr UnitRef<EditBoxUnit> 编辑框5{kMainWindowId, 0x1601854E};
inline constexpr UnitRef<EditBoxUnit> 编辑框6{kMainWindowId, 0x1601854F};
inline constexpr UnitRef<EditBoxUnit> 编辑框7{kMainWindowId, 0x16018550};

inline constexpr UnitRef<TransLabelUnit> 透明标签1{kMainWindowId, 0x16015829};
inline constexpr UnitRef<TransLabelUnit> 透明标签2{kMainWindowId, 0x1601582A};
inline constexpr UnitRef<TransLabelUnit> 透明标签3{kMainWindowId, 0x1601582B};
inline constexpr UnitRef<TransLabelUnit> 透明标签5{kMainWindowId, 0x1601582D};
inline constexpr UnitRef<TransLabelUnit> 透明标签7{kMainWindowId, 0x1601582F};
inline constexpr UnitRef<TransLabelUnit> 透明标签8{kMainWindowId, 0x16015830};
inline constexpr UnitRef<TransLabelUnit> 透明标签9{kMainWindowId, 0x16015831};
inline constexpr UnitRef<TransLabelUnit> 透明标签10{kMainWindowId, 0x16015832};
inline constexpr UnitRef<TransLabelUnit> 透明标签11{kMainWindowId, 0x160184D8};
inline constexpr UnitRef<TransLabelUnit> 透明标签12{kMainWindowId, 0x16018549};
inline constexpr UnitRef<TransLabelUnit> 透明标签13{kMainWindowId, 0x1601854A};
inline constexpr UnitRef<TransLabelUnit> 透明标签14{kMainWindowId, 0x1601854B};
inline constexpr UnitRef<TransLabelUnit> 透明标签15{kMainWindowId, 0x1601854C};
inline constexpr UnitRef<TransLabelUnit> 透明标签16{kMainWindowId, 0x1601854D};
inline constexpr UnitRef<TransLabelUnit> 透明标签17{kMainWindowId, 0x1601858D};
inline constexpr UnitRef<TransLabelUnit> 透明标签18{kMainWindowId, 0x16018563};

}  // namespace wavlon::units
