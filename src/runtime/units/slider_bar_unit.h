// The slider bar unit (type 0x00010014): a horizontal track with a thumb.
//
// Minimum, maximum and position are held within 0..32767 when written. The position reads
// back the value last written by the program or set by the user's last move, even outside
// minimum..maximum; the thumb is drawn inside the range. The change event (0) comes for every
// move the user makes (clicks, arrow and page keys, the wheel, each step of a drag) and never
// for a write by the program.
#pragma once

#include "runtime/template_blocks.h"
#include "runtime/units/property_table.h"
#include "widget_unit.h"  // the toolkit's: runtime/units/qt or runtime/units/win

namespace wavlon::units {

class SliderBarUnit final : public WithPropertyTable<SliderBarUnit, WidgetUnit> {
public:
    static constexpr std::uint32_t kTypeId = runtime::unit_types::kSliderBar;
    static constexpr std::int32_t kChangedEvent = 0;
    static constexpr int kMinimum = 17;
    static constexpr int kMaximum = 18;
    static constexpr int kPosition = 19;
    static constexpr std::int32_t kLimit = 32767;

    SliderBarUnit(const runtime::UnitCreateParams& params, runtime::SliderBarBlock block);
    static const runtime::UnitTypeInfo& type_info();
    static const PropertyTable<SliderBarUnit>& properties();

    std::vector<std::uint8_t> property_data() const override;

    std::int32_t minimum() const { return m_block.minimum(); }
    std::int32_t maximum() const { return m_block.maximum(); }
    std::int32_t position() const { return m_block.position(); }
    void set_minimum(std::int32_t value);
    void set_maximum(std::int32_t value);
    void set_position(std::int32_t value);

private:
    void apply_range();
    void user_moved();

    runtime::SliderBarBlock m_block;
};

}  // namespace wavlon::units
