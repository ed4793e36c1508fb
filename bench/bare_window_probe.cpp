// The floor for launch time and idle memory, run as a fresh process by bench/player_bench.sh:
// a bare Qt 6 window of the main window's size, linked with Qt Widgets only.
//   bare_window_probe launch   prints the milliseconds from WAVLON_LAUNCHED_NS (CLOCK_REALTIME
//                              nanoseconds taken just before the exec) to the first paint's end
//   bare_window_probe idle     runs timers of the window's periods for 5 s, prints VmRSS in KiB
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const bool idle = argc > 1 && std::strcmp(argv[1], "idle") == 0;
    QApplication application(argc, argv);
    QWidget window;
    window.resize(1242, 694);
    window.setWindowTitle(QStringLiteral("Wavlon"));
    window.show();
    window.repaint();
    QCoreApplication::processEvents();
    if (!idle) {
        const char* launched = std::getenv("WAVLON_LAUNCHED_NS");
        const auto now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
        std::printf(
            "%.2f\n",
            launched ? static_cast<double>(now - std::strtoll(launched, nullptr, 10)) / 1e6 : -1.0);
        return 0;
    }
    std::vector<std::unique_ptr<QTimer>> timers;
    for (int period : {1000, 300, 500}) {
        auto& timer = timers.emplace_back(std::make_unique<QTimer>());
        QObject::connect(timer.get(), &QTimer::timeout, [] {});
        timer->start(period);
    }
    QTimer::singleShot(5000, &application, &QCoreApplication::quit);
    QApplication::exec();
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            std::printf("%ld\n", std::strtol(line.c_str() + 6, nullptr, 10));
        }
    }
    return 0;
}
