#include "runtime/units/slider_bar_unit.h"

#include <QSlider>
#include <algorithm>

#include "runtime/conversions.h"
#include "runtime/event_dispatch.h"

namespace wavlon::units {

using runtime::PropertyType;
using runtime::Value;

namespace {

constexpr std::size_t kFirst = 8;

std::unique_ptr<runtime::Unit> create_slider(const runtime::UnitCreateParams& params) {
    runtime::SliderBarBlock block;
    block.set_range(0, 100, 0);
    if (!params.block.empty()) {
        auto decoded = runtime::decode_slider_bar_block(params.block);
        auto* stored = std::get_if<runtime::SliderBarBlock>(&decoded);
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

const runtime::UnitTypeInfo& SliderBarUnit::type_info() {
    static const runtime::UnitTypeInfo info = [] {
        runtime::UnitTypeInfo t;
        t.type_id = kTypeId;
        t.name = "滑块条"_gb;
        t.english_name = "SliderBar";
        t.flags = runtime::kTypeRaisesEvents;
        t.properties = runtime::common_properties_and({});
        t.properties.resize(20, {PropertyType::kInteger, 0});
        t.create = create_slider;
        return t;
    }();
    return info;
}

SliderBarUnit::SliderBarUnit(const runtime::UnitCreateParams& params, runtime::SliderBarBlock block)
    : WidgetUnit(params, new QSlider(Qt::Horizontal)),
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

bool SliderBarUnit::set_property(int index, const Value& value) {
    std::int32_t number = runtime::to_integer(value);
    switch (index) {
        case kMinimum:
            set_minimum(number);
            break;
        case kMaximum:
            set_maximum(number);
            break;
        case kPosition:
            set_position(number);
            break;
        default:
            if (index >= static_cast<int>(kFirst) && index < kMinimum) {
                m_block.properties[static_cast<std::size_t>(index) - kFirst] = number;
            }
            break;
    }
    return false;
}

Value SliderBarUnit::get_property(int index) const {
    if (index < static_cast<int>(kFirst) || index > kPosition) {
        return {};
    }
    return Value::integer(m_block.properties[static_cast<std::size_t>(index) - kFirst]);
}

std::vector<std::uint8_t> SliderBarUnit::property_data() const {
    return runtime::encode_block(m_block);
}

}  // namespace wavlon::units
