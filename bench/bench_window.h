// Shared by the window benchmarks: a dialog backend that answers every box with OK, and the
// one QApplication of a benchmark process.
#pragma once

#include <QApplication>

#include <string>

#include "platform/dialogs.h"

namespace wavlon::bench {

class AnswerOk final : public platform::DialogBackend {
public:
    platform::DialogButton message_box(const platform::MessageBoxRequest&) override {
        return platform::DialogButton::Ok;
    }
    std::string browse_for_folder(const platform::FolderRequest&) override { return {}; }
};

inline QApplication& application() {
    static int argc = 1;
    static char name[] = "wavlon_bench";
    static char* argv[] = {name, nullptr};
    // Never destroyed: the program's statics (windows, devices) outlive main.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

}  // namespace wavlon::bench
