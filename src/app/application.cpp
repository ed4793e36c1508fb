#include "app/application.h"

#include <cstdio>

#include "app/event_table.h"
#include "app/main_window_template.h"
#include "app/main_window_units.h"
#include "app/window_activation.h"
#include "runtime/event_dispatch.h"
#include "runtime/fatal.h"
#include "runtime/live_window.h"
#include "runtime/units/media_play_device.h"
#include "runtime/units/standard_units.h"
#include "runtime/units/timer_unit.h"
#include "runtime/window_loader.h"
#include "unit_look.h"

namespace wavlon::app {

using runtime::operator""_gb;

void prepare_main_window() {
    // A track that plays to its end moves on at once: the end runs 时钟3's routine (the
    // progress and the move to the next track) now instead of at its next tick.
    units::MediaPlayDevice::set_end_listener([] {
        if (runtime::live_unit(units::时钟3.window_id, units::时钟3.unit_id) != nullptr) {
            runtime::dispatch_event(units::时钟3.window_id, units::时钟3.unit_id,
                                    units::TimerUnit::kTickEvent);
        }
    });
    units::install_font_substitutions();
    units::register_standard_units();
    runtime::install_window_template(kMainWindowTemplate, kMainWindowRoutines, find_routine);
}

void load_main_window() {
    if (!runtime::load_window(units::kMainWindowId)) {
        runtime::fatal_error("载入启动窗口失败"_gb, units::kMainWindowId);
    }
}

bool hand_over_to_first(platform::SingleInstance& instance, const std::string& activation_token,
                        const std::vector<std::string>& paths) {
    if (instance.role() != platform::SingleInstance::Role::Second) {
        return false;
    }
    if (instance.ask_first_to_raise(activation_token, paths)) {
        return true;
    }
    std::fprintf(stderr, "wavlon: the running player does not answer; starting anyway\n");
    return false;
}

void open_main_window(platform::SingleInstance& instance, const std::vector<std::string>& paths) {
    instance.on_raise_requests(
        [](const std::string& token, const std::vector<std::string>& requested) {
            raise_main_window(token);
            open_paths(requested);
        });
    prepare_main_window();
    load_main_window();
    open_paths(paths);
    open_waiting_paths();
}

}  // namespace wavlon::app
