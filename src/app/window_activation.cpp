#include "app/window_activation.h"

#include <QApplication>
#include <QWidget>

#include <utility>

#include "app/main_window_units.h"
#include "platform/codec.h"
#include "player/open_location.h"
#include "widget_unit.h"
#include "runtime/window_table.h"

namespace wavlon::app {
namespace {

QWidget* main_widget() {
    return main_window_ready() ? units::widget_of(runtime::live_unit(units::kMainWindowId, 0))
                               : nullptr;
}

std::vector<std::string> g_waiting_paths;

void bring_forward(QWidget& widget) {
    if (widget.isMinimized()) {
        widget.setWindowState(widget.windowState() & ~Qt::WindowMinimized);
    }
    widget.raise();
    widget.activateWindow();
}

}  // namespace

bool main_window_ready() {
    const runtime::LiveWindow* window = runtime::find_live_window(units::kMainWindowId);
    return window && window->state == runtime::WindowState::kLoaded;
}

void raise_main_window(const std::string& activation_token) {
    if (!activation_token.empty()) {
        // Qt's Wayland client takes the token from here when the window asks for the focus.
        qputenv("XDG_ACTIVATION_TOKEN", QByteArray::fromStdString(activation_token));
    }
    if (QWidget* modal = QApplication::activeModalWidget()) {
        bring_forward(*modal);
        return;
    }
    QWidget* window = main_widget();
    if (window && window->isVisible()) {
        bring_forward(*window);
    }
}

bool open_paths(const std::vector<std::string>& paths) {
    if (!main_window_ready()) {
        g_waiting_paths.insert(g_waiting_paths.end(), paths.begin(), paths.end());
        return false;
    }
    for (const std::string& path : paths) {
        if (player::play_location(platform::file_name_to_gbk(path))) {
            return true;
        }
    }
    return false;
}

void open_waiting_paths() {
    open_paths(std::exchange(g_waiting_paths, {}));
}

void close_main_window() {
    if (QWidget* window = main_widget()) {
        window->close();
    }
}

}  // namespace wavlon::app
