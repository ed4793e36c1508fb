// The one QApplication of a test executable. Every test that needs Qt (widgets, timers,
// queued notifications) calls qt_application() instead of making its own, so suites that
// share an executable never create two. CTest runs tests with QT_QPA_PLATFORM=offscreen.
#pragma once

class QApplication;

namespace wavlon::testing {

QApplication& qt_application();

// Processes Qt events until `done()` is true or `timeout_ms` passed; returns done().
bool process_events_until(const auto& done, int timeout_ms);

}  // namespace wavlon::testing

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

namespace wavlon::testing {

bool process_events_until(const auto& done, int timeout_ms) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() >= timeout_ms) {
            return done();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

}  // namespace wavlon::testing
