#include "app/application.h"

#include <QApplication>
#include <QDBusConnection>
#include <QIcon>
#include <QLocale>

#include <QFile>
#include <QUrl>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/main_window_units.h"
#include "app/mpris_service.h"
#include "app/window_activation.h"
#include "platform/qt_translations.h"
#include "platform/session_end.h"
#include "platform/single_instance.h"
#include "runtime/fatal.h"
#include "runtime/message_loop.h"
#include "runtime/program.h"
#include "runtime/window_loader.h"
#include "runtime/window_table.h"

namespace wavlon::app {

using runtime::operator""_gb;

namespace {

// Sizes of the icon PNGs built into the program (resources/icons).
constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

QIcon application_icon() {
    QIcon icon;
    for (int size : kIconSizes) {
        icon.addFile(QStringLiteral(":/icons/wavlon-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

// The files and folders named on the command line, as absolute file names: a relative name is
// taken from the current folder, a file:// URI (what a desktop hands over for %U) becomes its
// path. Options (starting with "-") are skipped; after "--" every argument is a name.
std::vector<std::string> given_paths(int argc, char** argv) {
    std::vector<std::string> paths;
    bool options_end = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (!options_end && argument == "--") {
            options_end = true;
            continue;
        }
        if (argument.empty() || (!options_end && argument.starts_with('-'))) {
            continue;
        }
        if (argument.starts_with("file://")) {
            const QUrl url(QString::fromUtf8(argument));
            if (url.isLocalFile()) {
                paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
            }
            continue;
        }
        std::error_code error;
        const std::filesystem::path absolute = std::filesystem::absolute(argument, error);
        if (!error) {
            paths.push_back(absolute.lexically_normal().string());
        }
    }
    return paths;
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

}  // namespace

void set_up_application() {
    QApplication::setApplicationName(QStringLiteral("Wavlon"));
    QGuiApplication::setDesktopFileName(QStringLiteral(WAVLON_APP_ID));
    QApplication::setWindowIcon(application_icon());
    platform::install_qt_translations(QLocale::system());
}

int run_application(int argc, char** argv) {
    runtime::init_runtime();
    // Before anything is shown or opened: a second start only hands over to the first.
    const std::vector<std::string> paths = given_paths(argc, argv);
    platform::SingleInstance instance(platform::display_key());
    if (hand_over_to_first(instance, environment("XDG_ACTIVATION_TOKEN"), paths)) {
        return 0;
    }
    QApplication application(argc, argv);
    set_up_application();
    // The runtime ends the loop when its last window has gone; a message box shown before the
    // main window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    open_main_window(instance, paths);
    // The session ending (logout, SIGTERM, SIGHUP) ends the run as closing the window does.
    platform::on_session_end(runtime::end_message_loop);
    {
        // Without a session bus, or with the name refused, the player runs on without it.
        MprisService media_keys(QDBusConnection::sessionBus());
        media_keys.start();
        runtime::run_message_loop();
    }
    // Whatever window is left goes while its toolkit still exists, never after.
    runtime::uninstall_window_template();
    return 0;
}

}  // namespace wavlon::app
