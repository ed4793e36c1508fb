#include "player/volume.h"

#include "app/main_window_units.h"
#include "player/window_units.h"

namespace wavlon::player {

namespace u = units;

namespace {

constexpr std::int32_t kSpeakersLine = 4;
constexpr std::int32_t kSliderScale = 5;

}  // namespace

void init_volume_slider() {
    system_volume().select_line(kSpeakersLine);
    set_integer(u::滑块条2, u::SliderBarUnit::kMinimum, system_volume().get_min_volume());
    set_integer(u::滑块条2, u::SliderBarUnit::kMaximum,
                system_volume().get_max_volume() / kSliderScale);
    // The slider shows the left channel; both stay 0 when the mixer does not answer.
    std::int32_t left = 0;
    std::int32_t right = 0;
    system_volume().get_volume(left, right);
    set_integer(u::滑块条2, u::SliderBarUnit::kPosition, left / kSliderScale);
}

void apply_volume_slider() {
    const std::int32_t volume = integer_of(u::滑块条2, u::SliderBarUnit::kPosition) * kSliderScale;
    system_volume().set_volume(volume, volume);
}

void toggle_mute() {
    if (system_volume().get_mute() == 0) {
        system_volume().set_mute(true);
    } else if (system_volume().get_mute() == 1) {
        system_volume().set_mute(false);
    }
}

}  // namespace wavlon::player
