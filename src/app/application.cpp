#include "app/application.h"

#include <QApplication>

#include "app/event_table.h"
#include "app/main_window_template.h"
#include "runtime/fatal.h"
#include "runtime/message_loop.h"
#include "runtime/program.h"
#include "runtime/units/main_window_units.h"
#include "runtime/units/standard_units.h"
#include "runtime/units/unit_look.h"
#include "runtime/window_loader.h"
#include "runtime/window_table.h"

namespace wavlon::app {

using runtime::operator""_gb;

void prepare_main_window() {
    units::install_font_substitutions();
    units::register_standard_units();
    runtime::install_window_template(kMainWindowTemplate, kMainWindowRoutines, find_routine);
}

void load_main_window() {
    if (!runtime::load_window(units::kMainWindowId)) {
        runtime::fatal_error("载入启动窗口失败"_gb, units::kMainWindowId);
    }
}

int run_application(int argc, char** argv) {
    runtime::init_runtime();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Wavlon"));
    // The runtime ends the loop when its last window has gone; a message box shown before the
    // main window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    prepare_main_window();
    load_main_window();
    runtime::run_message_loop();
    return 0;
}

}  // namespace wavlon::app
