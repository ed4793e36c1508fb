#include "platform/skin_engine.h"

#include <QApplication>
#include <QColor>
#include <QFont>
#include <QPalette>
#include <QStyleFactory>

namespace wavlon::platform {
namespace {

QColor to_qcolor(std::uint32_t rgb) {
    return QColor(static_cast<int>((rgb >> 16) & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
                  static_cast<int>(rgb & 0xFF));
}

const std::pair<const char*, QPalette::ColorRole> kPaletteRoles[] = {
    {"window", QPalette::Window},
    {"window-text", QPalette::WindowText},
    {"base", QPalette::Base},
    {"alternate-base", QPalette::AlternateBase},
    {"text", QPalette::Text},
    {"button", QPalette::Button},
    {"button-text", QPalette::ButtonText},
    {"highlight", QPalette::Highlight},
    {"highlighted-text", QPalette::HighlightedText},
};

}  // namespace

int SkinH_AttachRes(const std::uint8_t* data, std::uint32_t size, const char* /*password*/, int hue,
                    int saturation, int brightness) {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app || !data || size == 0) {
        return 0;
    }
    auto skin = parse_skin({reinterpret_cast<const char*>(data), size});
    if (!skin) {
        return 0;
    }
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) {
        QApplication::setStyle(fusion);
    }
    QPalette palette = QApplication::palette();
    for (const auto& [role_name, role] : kPaletteRoles) {
        auto found = skin->colors.find(role_name);
        if (found != skin->colors.end()) {
            palette.setColor(role,
                             to_qcolor(shift_color(found->second, hue, saturation, brightness)));
        }
    }
    auto disabled = skin->colors.find("disabled-text");
    if (disabled != skin->colors.end()) {
        QColor c = to_qcolor(shift_color(disabled->second, hue, saturation, brightness));
        palette.setColor(QPalette::Disabled, QPalette::Text, c);
        palette.setColor(QPalette::Disabled, QPalette::ButtonText, c);
        palette.setColor(QPalette::Disabled, QPalette::WindowText, c);
    }
    QApplication::setPalette(palette);
    std::string style = render_skin_style(*skin, hue, saturation, brightness);
    app->setStyleSheet(QString::fromUtf8(style.data(), static_cast<qsizetype>(style.size())));
    return 1;
}

}  // namespace wavlon::platform
