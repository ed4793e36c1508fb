// The program's start on Windows: the runtime, the main window on the system's own windows,
// the message loop. A second start hands its files to the first and ends.
#include <windows.h>

#include <shellapi.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/win/media_keys.h"
#include "app/window_activation.h"
#include "platform/session_end.h"
#include "platform/single_instance.h"
#include "platform/win/wide_text.h"
#include "runtime/message_loop.h"
#include "runtime/program.h"
#include "runtime/window_table.h"

namespace wavlon::app {
namespace {

// The files and folders named on the command line, as absolute UTF-8 file names: a relative
// name is taken from the current folder. Options (starting with "-" or "/") are skipped; after
// "--" every argument is a name. The wide command line, so that any name arrives whole.
std::vector<std::string> given_paths() {
    std::vector<std::string> paths;
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr) {
        return paths;
    }
    bool options_end = false;
    for (int i = 1; i < count; ++i) {
        const std::wstring argument = arguments[i];
        if (!options_end && argument == L"--") {
            options_end = true;
            continue;
        }
        if (argument.empty() ||
            (!options_end && (argument.starts_with(L'-') || argument.starts_with(L'/')))) {
            continue;
        }
        std::error_code error;
        const std::filesystem::path absolute = std::filesystem::absolute(argument, error);
        if (!error) {
            paths.push_back(platform::narrow(absolute.lexically_normal().wstring()));
        }
    }
    LocalFree(arguments);
    return paths;
}

}  // namespace

int run_application(int /*argc*/, char** /*argv*/) {
    runtime::init_runtime();
    const std::vector<std::string> paths = given_paths();
    // Before anything is shown or opened: a second start only hands over to the first.
    platform::SingleInstance instance(platform::display_key());
    if (hand_over_to_first(instance, {}, paths)) {
        return 0;
    }
    open_main_window(instance, paths);
    install_media_keys();
    // The session ending (log off, shut down, Ctrl+C) ends the run as closing the window does.
    platform::on_session_end(runtime::end_message_loop);
    runtime::run_message_loop();
    runtime::uninstall_window_template();
    return 0;
}

}  // namespace wavlon::app
