// Shared by the window benchmarks: a dialog backend that answers every box with OK, the one
// QApplication of a benchmark process, and the program's window loaded over a folder.
#pragma once

#include <unistd.h>

#include <QApplication>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/application.h"
#include "app/main_window_units.h"
#include "platform/dialogs.h"
#include "platform/network_check.h"
#include "player/program_state.h"
#include "runtime/config_file.h"
#include "runtime/program.h"
#include "runtime/window_loader.h"

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

// A folder of the benchmark process's own, removed at exit.
inline const std::filesystem::path& work_folder() {
    static const std::filesystem::path folder = [] {
        auto path = std::filesystem::temp_directory_path() /
                    ("wavlon_player_bench_" + std::to_string(getpid()));
        std::filesystem::create_directories(path / "program");
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(work_folder(), ignored);
        });
        return path;
    }();
    return folder;
}

// The program's window, as start-up leaves it, with `folder` stored in config.ini.
inline void load_window_with(const std::filesystem::path& folder) {
    using runtime::from_utf8;
    application();
    static AnswerOk dialogs;
    static const bool prepared = [] {
        platform::set_dialog_backend(&dialogs);
        // A refused local port: the start-up takes the offline branch without waiting.
        platform::set_network_check_url("http://127.0.0.1:9/");
        runtime::set_run_directory_for_tests(from_utf8((work_folder() / "program").string()));
        app::prepare_main_window();
        return true;
    }();
    (void)prepared;
    runtime::write_config_item(from_utf8((work_folder() / "program/config.ini").string()),
                               "config", from_utf8("路径"), from_utf8(folder.string()));
    app::load_main_window();
}

inline void close_window() {
    runtime::close_window(units::kMainWindowId);
    player::program_state().track_paths.clear();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace wavlon::bench
