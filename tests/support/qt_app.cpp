#include "support/qt_app.h"

#include <QApplication>

#include <cstdlib>

namespace wavlon::testing {

QApplication& qt_application() {
    static int argc = 1;
    static char name[] = "wavlon-tests";
    static char* argv[] = {name, nullptr};
    if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) {
        return *existing;
    }
    if (!std::getenv("QT_QPA_PLATFORM")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

}  // namespace wavlon::testing
