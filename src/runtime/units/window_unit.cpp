#include "runtime/units/window_unit.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <algorithm>

#include "runtime/conversions.h"
#include "runtime/units/unit_look.h"
#include "runtime/window_loader.h"

namespace wavlon::units {

using runtime::PropertyType;
using runtime::Value;

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
    auto decoded = runtime::decode_window_block(params.block);
    auto* block = std::get_if<runtime::WindowFormBlock>(&decoded);
    if (!block) {
        return nullptr;
    }
    return std::make_unique<WindowUnit>(params, std::move(*block));
}

QMargins frame_margins(const QWidget& widget) {
    QWindow* handle = widget.windowHandle();
    return handle ? handle->frameMargins() : QMargins{};
}

Value number(std::uint32_t value) {
    return Value::integer(static_cast<std::int32_t>(value));
}
Value bytes(const std::vector<std::uint8_t>& data) {
    return Value::byte_set(runtime::ByteSet(data));
}
// Logical properties arrive as logical values: true is kept as 1.
std::uint32_t number_of(const Value& value) {
    return static_cast<std::uint32_t>(runtime::to_integer(value));
}
std::vector<std::uint8_t> bytes_of(const Value& value) {
    const runtime::ByteSet* b = value.get<runtime::ByteSet>();
    return b ? b->bytes() : std::vector<std::uint8_t>{};
}
runtime::Text text_of(const Value& value) {
    const runtime::Text* t = value.get<runtime::Text>();
    return t ? *t : runtime::Text{};
}

// Properties 9..31 in block order (8 is the caption).
std::uint32_t* block_number(runtime::WindowFormBlock& b, int index) {
    switch (index) {
        case 9:
            return &b.border_style;
        case 10:
            return &b.field2;
        case 11:
            return &b.background;
        case 12:
            return &b.maximise_button;
        case 13:
            return &b.minimise_button;
        case 14:
            return &b.control_box;
        case 15:
            return &b.start_position;
        case 16:
            return &b.movable;
        case 17:
        case 18:
        case 19:
        case 20:
        case 21:
            return &b.values[static_cast<std::size_t>(index - 17)];
        case 22:
            return &b.v2_value;
        case 23:
        case 24:
            return &b.v3_values[static_cast<std::size_t>(index - 23)];
        case 25:
            return &b.top_most;
        case 26:
            return &b.v5_value;
        default:
            return nullptr;
    }
}

}  // namespace

const runtime::UnitTypeInfo& WindowUnit::type_info() {
    static const runtime::UnitTypeInfo info = [] {
        runtime::UnitTypeInfo t;
        t.type_id = kTypeId;
        t.name = "窗口"_gb;
        t.english_name = "window";
        t.flags = runtime::kTypeRaisesEvents;
        t.properties = runtime::common_properties_and({
            PropertyType::kText,       PropertyType::kChoice,  PropertyType::kInteger,
            PropertyType::kBackColour, PropertyType::kLogical, PropertyType::kLogical,
            PropertyType::kLogical,    PropertyType::kChoice,  PropertyType::kLogical,
            PropertyType::kInteger,    PropertyType::kInteger, PropertyType::kInteger,
            PropertyType::kInteger,    PropertyType::kInteger, PropertyType::kInteger,
            PropertyType::kInteger,    PropertyType::kInteger, PropertyType::kLogical,
            PropertyType::kInteger,    PropertyType::kText,    PropertyType::kPicture,
            PropertyType::kIcon,       PropertyType::kSound,   PropertyType::kText,
        });
        t.create = create_window;
        return t;
    }();
    return info;
}

WindowUnit::WindowUnit(const runtime::UnitCreateParams& params, runtime::WindowFormBlock block)
    : WidgetUnit(params, new WindowWidget(params.window_id)),
      m_window(static_cast<WindowWidget*>(widget())),
      m_block(std::move(block)),
      m_outer(params.rect) {
    // Windows come and go under the runtime's control, not Qt's.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    m_window->setFont(default_unit_font());
    m_window->setAutoFillBackground(true);
    apply_background();
    m_window->setWindowTitle(to_qstring(m_block.caption));
    apply_window_flags();
    set_rect(m_outer);
    m_window->set_unit(this);
}

WindowUnit::~WindowUnit() {
    if (widget()) {
        m_window->set_unit(nullptr);
    }
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

bool WindowUnit::set_property(int index, const Value& value) {
    if (index == kCaption) {
        m_block.caption = text_of(value);
        m_window->setWindowTitle(to_qstring(m_block.caption));
        return false;
    }
    if (std::uint32_t* field = block_number(m_block, index)) {
        *field = number_of(value);
        if (index == 11) {
            apply_background();
        } else {
            apply_window_flags();
            frame_changed();
        }
        return false;
    }
    switch (index) {
        case 27:
            m_block.class_name = text_of(value);
            break;
        case 28:
            m_block.picture = bytes_of(value);
            break;
        case 29:
            m_block.icon = bytes_of(value);
            break;
        case 30:
            m_block.sound = bytes_of(value);
            break;
        case 31:
            m_block.extra_text = text_of(value);
            break;
        default:
            break;
    }
    return false;
}

Value WindowUnit::get_property(int index) const {
    if (index == kCaption) {
        return Value::text(m_block.caption);
    }
    auto block = m_block;
    if (std::uint32_t* field = block_number(block, index)) {
        return number(*field);
    }
    switch (index) {
        case 27:
            return Value::text(m_block.class_name);
        case 28:
            return bytes(m_block.picture);
        case 29:
            return bytes(m_block.icon);
        case 30:
            return bytes(m_block.sound);
        case 31:
            return Value::text(m_block.extra_text);
        default:
            return {};
    }
}

std::vector<std::uint8_t> WindowUnit::property_data() const {
    return runtime::encode_block(m_block);
}

}  // namespace wavlon::units
