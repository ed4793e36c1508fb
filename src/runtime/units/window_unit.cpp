#include "runtime/units/window_unit.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <algorithm>

#include "runtime/units/unit_look.h"
#include "runtime/window_loader.h"

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

std::unique_ptr<runtime::Unit> create_window(const runtime::UnitCreateParams& params) {
    auto decoded = runtime::decode_block<WindowUnit::kTypeId>(params.block);
    auto* block = std::get_if<WindowFormBlock>(&decoded);
    if (!block) {
        return nullptr;
    }
    return std::make_unique<WindowUnit>(params, std::move(*block));
}

QMargins frame_margins(const QWidget& widget) {
    QWindow* handle = widget.windowHandle();
    return handle ? handle->frameMargins() : QMargins{};
}

}  // namespace

const PropertyTable<WindowUnit>& WindowUnit::properties() {
    using Rows = PropertyRows<&WindowUnit::m_block>;
    using B = WindowFormBlock;
    constexpr auto frame = &WindowUnit::apply_frame;
    static constexpr auto rows = Rows::list(
        Rows::text<&B::caption, &WindowUnit::apply_caption>(kCaption, "caption"),
        Rows::number<&B::border_style, frame>(9, "border style", PropertyType::kChoice),
        Rows::number<&B::field2, frame>(10, "field2", PropertyType::kInteger),
        Rows::number<&B::background, &WindowUnit::apply_background>(11, "background",
                                                                    PropertyType::kBackColour),
        Rows::number<&B::maximise_button, frame>(12, "maximise button", PropertyType::kLogical),
        Rows::number<&B::minimise_button, frame>(13, "minimise button", PropertyType::kLogical),
        Rows::number<&B::control_box, frame>(14, "control box", PropertyType::kLogical),
        Rows::number<&B::start_position, frame>(15, "start position", PropertyType::kChoice),
        Rows::number<&B::movable, frame>(16, "movable", PropertyType::kLogical),
        Rows::numbers<&B::values, frame>(17, 21, "values", PropertyType::kInteger),
        Rows::number<&B::v2_value, frame>(22, "v2 value", PropertyType::kInteger),
        Rows::numbers<&B::v3_values, frame>(23, 24, "v3 values", PropertyType::kInteger),
        Rows::number<&B::top_most, frame>(25, "top-most", PropertyType::kLogical),
        Rows::number<&B::v5_value, frame>(26, "v5 value", PropertyType::kInteger),
        Rows::text<&B::class_name>(27, "class name"),
        Rows::bytes<&B::picture>(28, "picture", PropertyType::kPicture),
        Rows::bytes<&B::icon>(29, "icon", PropertyType::kIcon),
        Rows::bytes<&B::sound>(30, "sound", PropertyType::kSound),
        Rows::text<&B::extra_text>(31, "extra text"));
    static constexpr PropertyTable<WindowUnit> table(rows);
    return table;
}

const runtime::UnitTypeInfo& WindowUnit::type_info() {
    static const runtime::UnitTypeInfo info = describe_unit_type<WindowUnit>(
        "窗口"_gb, "window", runtime::kTypeRaisesEvents, create_window);
    return info;
}

WindowUnit::WindowUnit(const runtime::UnitCreateParams& params, runtime::WindowFormBlock block)
    : WithPropertyTable(params, new WindowWidget(params.window_id)),
      m_window(static_cast<WindowWidget*>(widget())),
      m_block(std::move(block)),
      m_outer(params.rect) {
    // Windows come and go under the runtime's control, not Qt's.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    m_window->setFont(default_unit_font());
    m_window->setAutoFillBackground(true);
    apply_background();
    apply_caption();
    apply_window_flags();
    set_rect(m_outer);
    m_window->set_unit(this);
}

WindowUnit::~WindowUnit() {
    if (widget()) {
        m_window->set_unit(nullptr);
    }
}

void WindowUnit::apply_caption() {
    m_window->setWindowTitle(to_qstring(m_block.caption));
}

void WindowUnit::apply_background() {
    // The stored default is the system's dialog (button-face) colour, which is what Qt's
    // palette holds for windows; a skin that changes the palette then changes it too.
    QColor background = qcolour(m_block.background);
    if (!background.isValid()) {
        m_window->setPalette(QPalette());
        return;
    }
    QPalette palette = m_window->palette();
    palette.setColor(QPalette::Window, background);
    m_window->setPalette(palette);
}

runtime::UnitRect WindowUnit::rect() const {
    QRect frame = m_window->frameGeometry();
    return {frame.x(), frame.y(), frame.width(), frame.height()};
}

void WindowUnit::set_rect(const runtime::UnitRect& rect) {
    m_outer = rect;
    m_window->move(rect.left, rect.top);
    frame_changed();
}

bool WindowUnit::fixed_size() const {
    return m_block.border_style == 2 || m_block.border_style == 4 || m_block.border_style == 6;
}

QSize WindowUnit::client_size() const {
    QMargins margins = m_block.border_style == 0 ? QMargins{} : frame_margins(*m_window);
    QSize inside(m_outer.width - margins.left() - margins.right(),
                 m_outer.height - margins.top() - margins.bottom());
    return inside.expandedTo(m_units_extent).expandedTo({1, 1});
}

void WindowUnit::frame_changed() {
    QSize size = client_size();
    if (size == m_window->size() && (!fixed_size() || m_window->minimumSize() == size)) {
        return;
    }
    if (fixed_size()) {
        m_window->setFixedSize(size);
    } else {
        m_window->setMinimumSize(0, 0);
        m_window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        m_window->resize(size);
    }
}

void WindowUnit::on_units_created() {
    QRect extent;
    for (QObject* child : client_area()->children()) {
        if (auto* unit_widget = qobject_cast<QWidget*>(child)) {
            extent |= unit_widget->geometry();
        }
    }
    m_units_extent = QSize(std::max(0, extent.right() + 1), std::max(0, extent.bottom() + 1));
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
    bool was_visible = m_window->isVisible();
    m_window->setWindowFlags(flags);
    if (was_visible) {
        m_window->show();
    }
}

void WindowUnit::apply_frame() {
    apply_window_flags();
    frame_changed();
}

void WindowUnit::show_window() {
    frame_changed();
    if (m_block.start_position == 1) {
        QScreen* screen =
            m_window->screen() ? m_window->screen() : QGuiApplication::primaryScreen();
        if (screen) {
            QPoint centre = screen->availableGeometry().center();
            m_window->move(centre.x() - m_outer.width / 2, centre.y() - m_outer.height / 2);
        }
    }
    if (m_block.start_position == 2) {
        m_window->showMinimized();
    } else if (m_block.start_position == 3 && !fixed_size()) {
        m_window->showMaximized();
    } else {
        m_window->show();
    }
    m_window->raise();
    m_window->activateWindow();
}

void WindowUnit::bring_to_front() {
    if (m_window->isMinimized()) {
        m_window->showNormal();
    } else {
        m_window->raise();
        m_window->activateWindow();
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

std::vector<std::uint8_t> WindowUnit::property_data() const {
    return runtime::encode_block(m_block);
}

}  // namespace wavlon::units
