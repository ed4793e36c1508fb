// Bringing the main window forward and closing it, on Qt's windows.
#include <QApplication>
#include <QWidget>

#include "app/main_window_units.h"
#include "app/transport.h"
#include "app/window_activation.h"
#include "runtime/window_table.h"
#include "widget_unit.h"

namespace wavlon::app {
namespace {

QWidget* main_widget() {
    return main_window_ready() ? units::widget_of(runtime::live_unit(units::kMainWindowId, 0))
                               : nullptr;
}

void bring_forward(QWidget& widget) {
    if (widget.isMinimized()) {
        widget.setWindowState(widget.windowState() & ~Qt::WindowMinimized);
    }
    widget.raise();
    widget.activateWindow();
}

}  // namespace

bool dialog_open() {
    return QApplication::activeModalWidget() != nullptr;
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

void close_main_window() {
    if (QWidget* window = main_widget()) {
        window->close();
    }
}

}  // namespace wavlon::app
