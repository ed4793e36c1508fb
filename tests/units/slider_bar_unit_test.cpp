#include "runtime/units/slider_bar_unit.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QWheelEvent>

#include "runtime/unit_properties.h"
#include "support/main_window_driver.h"

namespace wavlon::testing {
namespace {

using namespace runtime;
using units::SliderBarUnit;

constexpr std::uint32_t kSlider = 0x16012BD0;

class SliderBar : public UnitWindowTest {
protected:
    void SetUp() override {
        UnitWindowTest::SetUp();
        SliderBarBlock block;
        block.set_range(0, 100, 0);
        load({{kSlider,
               record(unit_types::kSliderBar, "滑块条1", {20, 20, 300, 24}, encode_block(block))}});
        m_slider = static_cast<QSlider*>(unit<SliderBarUnit>(kSlider).widget());
    }

    std::int32_t position() {
        return *read_unit_property(kWindow, kSlider, SliderBarUnit::kPosition).get<std::int32_t>();
    }
    void write(int index, std::int32_t value) {
        write_unit_property(kWindow, kSlider, index, Value::integer(value));
    }
    void key(int code) {
        QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier);
        send_event(m_slider, press);
    }
    void mouse(QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, m_slider->mapToGlobal(at), Qt::LeftButton, buttons,
                          Qt::NoModifier);
        send_event(m_slider, event);
    }
    QPoint handle_centre() {
        QStyleOptionSlider option;
        option.initFrom(m_slider);
        option.orientation = m_slider->orientation();
        option.minimum = m_slider->minimum();
        option.maximum = m_slider->maximum();
        option.sliderPosition = m_slider->sliderPosition();
        option.sliderValue = m_slider->value();
        option.singleStep = m_slider->singleStep();
        option.pageStep = m_slider->pageStep();
        return m_slider->style()
            ->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, m_slider)
            .center();
    }

    QSlider* m_slider = nullptr;
};

TEST_F(SliderBar, ProgramWritesRaiseNoEvent) {
    write(SliderBarUnit::kMaximum, 500);
    write(SliderBarUnit::kPosition, 42);
    write(SliderBarUnit::kMinimum, 10);
    write(SliderBarUnit::kPosition, 0);
    EXPECT_EQ(events_of(kSlider, 0), 0);
}

TEST_F(SliderBar, KeysAndWheelRaiseTheEventWithTheNewPositionAlreadyReadable) {
    key(Qt::Key_Right);
    EXPECT_EQ(position(), 1);
    key(Qt::Key_PageUp);  // a page is a fifth of the range
    EXPECT_EQ(position(), 21);
    key(Qt::Key_End);
    EXPECT_EQ(position(), 100);
    QWheelEvent wheel(QPointF(10, 10), m_slider->mapToGlobal(QPointF(10, 10)), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    send_event(m_slider, wheel);
    EXPECT_LT(position(), 100);
    EXPECT_EQ(events_of(kSlider, 0), 4);
}

TEST_F(SliderBar, EachDragStepRaisesTheEventButTheReleaseDoesNot) {
    QPoint start = handle_centre();
    mouse(QEvent::MouseButtonPress, start, Qt::LeftButton);
    int after_press = events_of(kSlider, 0);
    mouse(QEvent::MouseMove, start + QPoint(60, 0), Qt::LeftButton);
    EXPECT_EQ(events_of(kSlider, 0), after_press + 1);
    std::int32_t dragged_to = position();
    EXPECT_GT(dragged_to, 0);
    mouse(QEvent::MouseMove, start + QPoint(120, 0), Qt::LeftButton);
    EXPECT_EQ(events_of(kSlider, 0), after_press + 2);
    EXPECT_GT(position(), dragged_to);
    mouse(QEvent::MouseButtonRelease, start + QPoint(120, 0), Qt::NoButton);
    EXPECT_EQ(events_of(kSlider, 0), after_press + 2);
}

TEST_F(SliderBar, ValuesAreHeldWithinTheLimitAndThePositionReadsBackAsWritten) {
    struct Case {
        int index;
        std::int32_t written;
        std::int32_t read;
    };
    for (Case c :
         {Case{SliderBarUnit::kMaximum, 40000, 32767}, Case{SliderBarUnit::kMinimum, -5, 0},
          Case{SliderBarUnit::kPosition, 32768, 32767}, Case{SliderBarUnit::kPosition, -1, 0}}) {
        write(c.index, c.written);
        EXPECT_EQ(*read_unit_property(kWindow, kSlider, c.index).get<std::int32_t>(), c.read);
    }
    // Outside the range: the thumb stays inside, the position reads what was written.
    write(SliderBarUnit::kMaximum, 10);
    write(SliderBarUnit::kPosition, 50);
    EXPECT_EQ(position(), 50);
    EXPECT_EQ(m_slider->value(), 10);
    write(SliderBarUnit::kMaximum, 0);
    EXPECT_EQ(position(), 50);  // a later range change keeps it
}

}  // namespace
}  // namespace wavlon::testing
