#include "runtime/units/slider_bar_unit.h"

#include <QSlider>
#include <algorithm>

#include "runtime/event_dispatch.h"

namespace wavlon::units {

using runtime::PropertyType;
using runtime::SliderBarBlock;

namespace {

QSlider* slider_of(const SliderBarUnit& unit) {
    return static_cast<QSlider*>(unit.widget());
}

}  // namespace

SliderBarUnit::SliderBarUnit(const runtime::UnitCreateParams& params, runtime::SliderBarBlock block)
    : WithPropertyTable(params, new QSlider(Qt::Horizontal)), m_block(block) {
    slider_of(*this)->setTickPosition(QSlider::NoTicks);
    apply_range();
    // actionTriggered comes for user moves only, before the value follows the thumb.
    QObject::connect(slider_of(*this), &QSlider::actionTriggered, slider_of(*this),
                     [this](int action) {
                         if (action != QAbstractSlider::SliderNoAction) {
                             user_moved();
                         }
                     });
}

void SliderBarUnit::user_moved() {
    m_block.properties[kPosition - runtime::property::kFirstOwn] =
        slider_of(*this)->sliderPosition();
    runtime::dispatch_event(window_id(), unit_id(), kChangedEvent);
    // Nothing after the dispatch: the routine may have destroyed this unit.
}

void SliderBarUnit::apply_range() {
    std::int32_t low = minimum();
    std::int32_t high = std::max(maximum(), low);
    slider_of(*this)->setRange(low, high);
    // A page is a fifth of the range, as on the stored platform's track bars.
    slider_of(*this)->setPageStep(std::max(1, (high - low) / 5));
    slider_of(*this)->setSingleStep(1);
    slider_of(*this)->setValue(std::clamp(position(), low, high));
}

}  // namespace wavlon::units
