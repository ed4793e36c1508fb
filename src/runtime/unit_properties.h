// Reading and writing unit properties by (window id, unit id, property index).
//
// Indexes 0-7 are common to every windowed unit (left, top, width, height, tag, visible,
// disabled, cursor); 8 and above belong to the unit's type and are converted by the type's
// value code (logical 0/1, integers, texts, byte data, fonts as 60-byte byte-sets).
// Units of a window that is not created answer their common properties from their records.
//
// User-interface thread only. Failures are fatal and name the window and unit:
//   no such window (or no such unit in it)      "未载入欲访问窗口组件所在的窗口"
//   read of index >= 8, unit not created        "读取组件属性时发现指定窗口尚未载入"
//   write of index >= 8, unit not created       "修改组件属性时发现指定窗口尚未载入"
#pragma once

#include <cstdint>

#include "runtime/value.h"

namespace wavlon::runtime {

// `element` -1 reads the whole value; for a font property 0-6 reads one sub-field
// (font_field). An index the type does not have reads as the empty value.
Value read_unit_property(std::uint32_t window_id, std::uint32_t unit_id, int index,
                         int element = -1);

// `element` -1 writes the whole value; for a font property 0-6 changes one sub-field.
// Width and height are held within 0..32627. A write that the unit can only show by being
// created anew re-creates it with events suppressed. An index the type does not have is
// ignored.
void write_unit_property(std::uint32_t window_id, std::uint32_t unit_id, int index, int element,
                         const Value& value);
inline void write_unit_property(std::uint32_t window_id, std::uint32_t unit_id, int index,
                                const Value& value) {
    write_unit_property(window_id, unit_id, index, -1, value);
}

}  // namespace wavlon::runtime
