#include "runtime/units/slider_bar_unit.h"

#include <QSlider>
#include <algorithm>

#include "runtime/event_dispatch.h"

namespace wavlon::units {

using runtime::PropertyType;
using runtime::SliderBarBlock;

namespace {

constexpr std::size_t kFirst = 8;

std::unique_ptr<runtime::Unit> create_slider(const runtime::UnitCreateParams& params) {
    SliderBarBlock block;
    block.set_range(0, 100, 0);
    if (!params.block.empty()) {
        auto decoded = runtime::decode_block<SliderBarUnit::kTypeId>(params.block);
        auto* stored = std::get_if<SliderBarBlock>(&decoded);
        if (!stored) {
            return nullptr;
        }
        block = *stored;
    }
    return std::make_unique<SliderBarUnit>(params, block);
}

std::int32_t limited(std::int32_t value) {
    return std::clamp(value, 0, SliderBarUnit::kLimit);
}

}  // namespace

const PropertyTable<SliderBarUnit>& SliderBarUnit::properties() {
    using Rows = PropertyRows<&SliderBarUnit::m_block>;
    static constexpr auto rows = Rows::list(
        // Stored for the unit; only the range and the position show.
        Rows::numbers<&SliderBarBlock::properties>(8, 16, "setting", PropertyType::kInteger),
        Rows::methods<&SliderBarUnit::minimum, &SliderBarUnit::set_minimum>(kMinimum, "minimum",
                                                                            PropertyType::kInteger),
        Rows::methods<&SliderBarUnit::maximum, &SliderBarUnit::set_maximum>(kMaximum, "maximum",
                                                                            PropertyType::kInteger),
        Rows::methods<&SliderBarUnit::position, &SliderBarUnit::set_position>(
            kPosition, "position", PropertyType::kInteger));
    static constexpr PropertyTable<SliderBarUnit> table(rows);
    return table;
}

const runtime::UnitTypeInfo& SliderBarUnit::type_info() {
    static const runtime::UnitTypeInfo info = describe_unit_type<SliderBarUnit>(
        "滑块条"_gb, "SliderBar", runtime::kTypeRaisesEvents, create_slider);
    return info;
}

SliderBarUnit::SliderBarUnit(const runtime::UnitCreateParams& params, runtime::SliderBarBlock block)
    : WithPropertyTable(params, new QSlider(Qt::Horizontal)),
      m_slider(static_cast<QSlider*>(widget())),
      m_block(block) {
    m_block.set_range(limited(m_block.minimum()), limited(m_block.maximum()),
                      limited(m_block.position()));
    m_slider->setTickPosition(QSlider::NoTicks);
    apply_range();
    // actionTriggered comes for user moves only, before the value follows the thumb.
    QObject::connect(m_slider, &QSlider::actionTriggered, m_slider, [this](int action) {
        if (action != QAbstractSlider::SliderNoAction) {
            user_moved();
        }
    });
}

void SliderBarUnit::user_moved() {
    m_block.properties[kPosition - kFirst] = m_slider->sliderPosition();
    runtime::dispatch_event(window_id(), unit_id(), kChangedEvent);
    // Nothing after the dispatch: the routine may have destroyed this unit.
}

void SliderBarUnit::apply_range() {
    std::int32_t low = minimum();
    std::int32_t high = std::max(maximum(), low);
    m_slider->setRange(low, high);
    // A page is a fifth of the range, as on the stored platform's track bars.
    m_slider->setPageStep(std::max(1, (high - low) / 5));
    m_slider->setSingleStep(1);
    m_slider->setValue(std::clamp(position(), low, high));
}

void SliderBarUnit::set_minimum(std::int32_t value) {
    m_block.properties[kMinimum - kFirst] = limited(value);
    apply_range();
}

void SliderBarUnit::set_maximum(std::int32_t value) {
    m_block.properties[kMaximum - kFirst] = limited(value);
    apply_range();
}

void SliderBarUnit::set_position(std::int32_t value) {
    m_block.properties[kPosition - kFirst] = limited(value);
    apply_range();
}

std::vector<std::uint8_t> SliderBarUnit::property_data() const {
    return runtime::encode_block(m_block);
}

}  // namespace wavlon::units
