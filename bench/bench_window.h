// Shared by the window benchmarks: a dialog backend that answers every box with OK, the one
// QApplication of a benchmark process, and the program's window loaded over a folder.
#pragma once

#include <unistd.h>

#include <QApplication>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/application.h"
#include "app/main_window_units.h"
#include "platform/dialogs.h"
#include "platform/network_check.h"
#include "player/music_folder.h"
#include "player/program_state.h"
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
        return path;
    }();
    // Registered once `folder` is made, so that it runs before `folder` is destroyed.
    static const bool removed_at_exit = [] {
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(work_folder(), ignored);
        });
        return true;
    }();
    (void)removed_at_exit;
    return folder;
}

// A folder of `count` empty .mp3 files in the work folder, made once under `name`.
inline std::filesystem::path folder_of_tracks(const std::string& name, int count) {
    std::filesystem::path folder = work_folder() / name;
    if (!std::filesystem::exists(folder)) {
        std::filesystem::create_directories(folder);
        for (int i = 0; i < count; ++i) {
            std::ofstream(folder / ("track " + std::to_string(i) + ".mp3"));
        }
    }
    return folder;
}

// Everything start-up needs but the window itself: dialogs that answer by themselves, an
// offline network check, the program folder, and `folder` stored in config.ini.
inline void prepare_window_with(const std::filesystem::path& folder) {
    using runtime::utf8_to_gbk;
    application();
    static AnswerOk dialogs;
    static const bool prepared = [] {
        platform::set_dialog_backend(&dialogs);
        // A refused local port: the start-up takes the offline branch without waiting.
        platform::set_network_check_url("http://127.0.0.1:9/");
        runtime::set_run_directory_for_tests(utf8_to_gbk((work_folder() / "program").string()));
        app::prepare_main_window();
        return true;
    }();
    (void)prepared;
    player::store_music_folder(utf8_to_gbk(folder.string()));
}

// The program's window, as start-up leaves it, with `folder` stored in config.ini.
inline void load_window_with(const std::filesystem::path& folder) {
    prepare_window_with(folder);
    app::load_main_window();
}

inline void close_window() {
    runtime::close_window(units::kMainWindowId);
    player::program_state().track_paths.clear();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace wavlon::bench
