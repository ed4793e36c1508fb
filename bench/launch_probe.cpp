// Launch to window on screen, for bench/player_bench.sh, which runs it as a fresh process:
//   launch_probe window <program dir>   the program's start-up (the main window with its
//                                        creation routine and the folder stored in
//                                        <program dir>/config.ini), shown and painted once
//   launch_probe bare                    a bare Qt 6 window of the same size, shown and painted,
//                                        in a process that loads the program's libraries
// bare_window_probe is the floor without the program's libraries. Prints the milliseconds since
// WAVLON_LAUNCHED_NS (CLOCK_REALTIME nanoseconds taken just before the exec) to the first paint's
// end, then exits.
#include <QApplication>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/application.h"
#include "app/main_window_units.h"
#include "bench_window.h"
#include "platform/dialogs.h"
#include "platform/network_check.h"
#include "runtime/program.h"
#include "runtime/window_loader.h"

namespace {

double milliseconds_since_launch() {
    const char* launched = std::getenv("WAVLON_LAUNCHED_NS");
    if (launched == nullptr) {
        return -1;
    }
    const auto now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    return static_cast<double>(now - std::strtoll(launched, nullptr, 10)) / 1e6;
}

void paint(QWidget* window) {
    window->repaint();
    QCoreApplication::processEvents();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || (std::strcmp(argv[1], "window") == 0 && argc < 3)) {
        std::fprintf(stderr, "usage: launch_probe window <program dir> | bare\n");
        return 2;
    }
    const bool bare = std::strcmp(argv[1], "bare") == 0;
    if (!bare) {
        wavlon::runtime::init_runtime();
    }
    QApplication application(argc, argv);
    if (bare) {
        QWidget window;
        window.resize(1242, 694);
        window.setWindowTitle(QStringLiteral("Wavlon"));
        window.show();
        paint(&window);
        std::printf("%.2f\n", milliseconds_since_launch());
        return 0;
    }
    wavlon::app::set_up_application();
    QApplication::setQuitOnLastWindowClosed(false);
    wavlon::bench::AnswerOk dialogs;
    wavlon::platform::set_dialog_backend(&dialogs);
    wavlon::platform::set_network_check_url("http://127.0.0.1:9/");  // refused: offline at once
    wavlon::runtime::set_run_directory_for_tests(wavlon::runtime::utf8_to_gbk(argv[2]));
    wavlon::app::prepare_main_window();
    wavlon::app::load_main_window();
    paint(wavlon::units::widget_of(wavlon::runtime::live_unit(wavlon::units::kMainWindowId, 0)));
    std::printf("%.2f\n", milliseconds_since_launch());
    // The program's statics (windows, devices) would outlive the application object.
    std::fflush(stdout);
    std::_Exit(0);
}
