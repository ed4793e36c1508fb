#include "runtime/units/window_unit.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <algorithm>

#include "runtime/window_loader.h"
#include "unit_look.h"

namespace wavlon::units {

using runtime::PropertyType;
using runtime::WindowFormBlock;

// The top-level widget: closing it closes the runtime's window.
class WindowWidget final : public QWidget {
public:
    explicit WindowWidget(std::uint32_t window_id) : m_window_id(window_id) {}
    void set_unit(WindowUnit* unit) { m_unit = unit; }

protected:
    void closeEvent(QCloseEvent* event) override {
        event->accept();
        std::uint32_t id = m_window_id;
        runtime::begin_window_close(id);
        // Units go from the event loop, not from inside the widget's own close handling.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [id] { runtime::finish_window_close(id); },
            Qt::QueuedConnection);
    }
    void showEvent(QShowEvent* event) override {
        QWidget::showEvent(event);
        notify_frame();
    }
    void moveEvent(QMoveEvent* event) override {
        QWidget::moveEvent(event);
        notify_frame();  // the platform's frame is known once the window manager placed it
    }

private:
    void notify_frame() {
        if (m_unit) {
            m_unit->frame_changed();
        }
    }

    std::uint32_t m_window_id;
    WindowUnit* m_unit = nullptr;
};

namespace {

WindowWidget* window_widget(const WindowUnit& unit) {
    return static_cast<WindowWidget*>(unit.widget());
}

QSize as_size(const runtime::UnitRect& rect) {
    return {rect.width, rect.height};
}

QMargins frame_margins(const QWidget& widget) {
    QWindow* handle = widget.windowHandle();
    return handle ? handle->frameMargins() : QMargins{};
}

}  // namespace

WindowUnit::WindowUnit(const runtime::UnitCreateParams& params, runtime::WindowFormBlock block)
    : WithPropertyTable(params, new WindowWidget(params.window_id)),
      m_block(std::move(block)),
      m_outer(params.rect) {
    // Windows come and go under the runtime's control, not Qt's.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    window_widget(*this)->setFont(default_unit_font());
    window_widget(*this)->setAutoFillBackground(true);
    apply_background();
    apply_caption();
    apply_window_flags();
    set_rect(m_outer);
    window_widget(*this)->set_unit(this);
}

WindowUnit::~WindowUnit() {
    if (widget()) {
        window_widget(*this)->set_unit(nullptr);
    }
}

void WindowUnit::apply_caption() {
    window_widget(*this)->setWindowTitle(to_qstring(m_block.caption));
}

void WindowUnit::apply_background() {
    // The stored default is the system's dialog (button-face) colour, which is what Qt's
    // palette holds for windows; a skin that changes the palette then changes it too.
    QColor background = qcolour(m_block.background);
    if (!background.isValid()) {
        window_widget(*this)->setPalette(QPalette());
        return;
    }
    QPalette palette = window_widget(*this)->palette();
    palette.setColor(QPalette::Window, background);
    window_widget(*this)->setPalette(palette);
}

runtime::UnitRect WindowUnit::rect() const {
    QRect frame = window_widget(*this)->frameGeometry();
    return {frame.x(), frame.y(), frame.width(), frame.height()};
}

void WindowUnit::set_rect(const runtime::UnitRect& rect) {
    m_outer = rect;
    window_widget(*this)->move(rect.left, rect.top);
    frame_changed();
}

runtime::UnitRect WindowUnit::client_size() const {
    QMargins margins =
        m_block.border_style == 0 ? QMargins{} : frame_margins(*window_widget(*this));
    QSize inside(m_outer.width - margins.left() - margins.right(),
                 m_outer.height - margins.top() - margins.bottom());
    QSize size = inside.expandedTo(as_size(m_units_extent)).expandedTo({1, 1});
    return {0, 0, size.width(), size.height()};
}

void WindowUnit::frame_changed() {
    QSize size = as_size(client_size());
    if (size == window_widget(*this)->size() &&
        (!fixed_size() || window_widget(*this)->minimumSize() == size)) {
        return;
    }
    if (fixed_size()) {
        window_widget(*this)->setFixedSize(size);
    } else {
        window_widget(*this)->setMinimumSize(0, 0);
        window_widget(*this)->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        window_widget(*this)->resize(size);
    }
}

void WindowUnit::on_units_created() {
    QRect extent;
    for (QObject* child : client_area()->children()) {
        if (auto* unit_widget = qobject_cast<QWidget*>(child)) {
            extent |= unit_widget->geometry();
        }
    }
    m_units_extent = {0, 0, std::max(0, extent.right() + 1), std::max(0, extent.bottom() + 1)};
    frame_changed();
}

void WindowUnit::apply_window_flags() {
    Qt::WindowFlags flags = Qt::Window;
    if (m_block.border_style == 0) {
        flags |= Qt::FramelessWindowHint;
    } else {
        flags |= Qt::CustomizeWindowHint;
        if (m_block.border_style == 3 || m_block.border_style == 4) {
            flags |= Qt::Tool;
        }
        if (!m_block.caption.empty() || m_block.control_box) {
            flags |= Qt::WindowTitleHint;
        }
        if (m_block.control_box) {
            flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        }
        if (m_block.minimise_button) {
            flags |= Qt::WindowMinimizeButtonHint;
        }
        if (m_block.maximise_button && !fixed_size()) {
            flags |= Qt::WindowMaximizeButtonHint;
        }
    }
    if (m_block.top_most) {
        flags |= Qt::WindowStaysOnTopHint;
    }
    bool was_visible = window_widget(*this)->isVisible();
    window_widget(*this)->setWindowFlags(flags);
    if (was_visible) {
        window_widget(*this)->show();
    }
}

void WindowUnit::apply_frame() {
    apply_window_flags();
    frame_changed();
}

void WindowUnit::show_window() {
    frame_changed();
    if (m_block.start_position == 1) {
        QScreen* screen = window_widget(*this)->screen() ? window_widget(*this)->screen()
                                                         : QGuiApplication::primaryScreen();
        if (screen) {
            QPoint centre = screen->availableGeometry().center();
            window_widget(*this)->move(centre.x() - m_outer.width / 2,
                                       centre.y() - m_outer.height / 2);
        }
    }
    if (m_block.start_position == 2) {
        window_widget(*this)->showMinimized();
    } else if (m_block.start_position == 3 && !fixed_size()) {
        window_widget(*this)->showMaximized();
    } else {
        window_widget(*this)->show();
    }
    window_widget(*this)->raise();
    window_widget(*this)->activateWindow();
}

void WindowUnit::bring_to_front() {
    if (window_widget(*this)->isMinimized()) {
        window_widget(*this)->showNormal();
    } else {
        window_widget(*this)->raise();
        window_widget(*this)->activateWindow();
    }
}

void WindowUnit::adopt_children(runtime::Unit& old) {
    auto* old_window = dynamic_cast<WindowUnit*>(&old);
    if (!old_window) {
        return;
    }
    for (QObject* child : old_window->client_area()->children()) {
        if (auto* unit_widget = qobject_cast<QWidget*>(child);
            unit_widget && !unit_widget->isWindow()) {
            bool was_hidden = unit_widget->isHidden();
            QRect geometry = unit_widget->geometry();
            unit_widget->setParent(client_area());
            unit_widget->setGeometry(geometry);
            unit_widget->setVisible(!was_hidden);
        }
    }
    m_units_extent = old_window->m_units_extent;
}

}  // namespace wavlon::units
