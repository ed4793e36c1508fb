#include "platform/skin_engine.h"

#include <QApplication>
#include <QColor>
#include <QFont>
#include <QPalette>
#include <QStyleFactory>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace wavlon::platform {
namespace {

constexpr std::string_view kMagic = ".SHE";

std::optional<std::uint32_t> parse_color(const std::string& text) {
    if (text.size() != 7 || text[0] != '#') {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (std::size_t i = 1; i < 7; ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (!std::isxdigit(c)) {
            return std::nullopt;
        }
        value = value * 16 + static_cast<std::uint32_t>(std::isdigit(c) ? c - '0'
                                                                         : std::tolower(c) - 'a' + 10);
    }
    return value;
}

std::string color_text(std::uint32_t rgb) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "#%06x", rgb & 0xFFFFFF);
    return buffer;
}

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

std::optional<Skin> parse_skin(std::string_view bytes) {
    if (bytes.substr(0, kMagic.size()) != kMagic) {
        return std::nullopt;
    }
    std::istringstream in(std::string(bytes.substr(kMagic.size())));
    Skin skin;
    bool versioned = false;
    bool in_style = false;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (in_style) {
            if (line == "end") {
                in_style = false;
            } else {
                skin.style += line + "\n";
            }
            continue;
        }
        std::istringstream fields(line);
        std::string key;
        fields >> key;
        if (key.empty() || key[0] == '#') {
            continue;
        }
        if (key == "version") {
            int version = 0;
            fields >> version;
            if (version != 1) {
                return std::nullopt;
            }
            versioned = true;
        } else if (key == "name") {
            std::getline(fields >> std::ws, skin.name);
        } else if (key == "color") {
            std::string role, value;
            fields >> role >> value;
            auto rgb = parse_color(value);
            if (role.empty() || !rgb) {
                return std::nullopt;
            }
            skin.colors[role] = *rgb;
        } else if (key == "font") {
            std::string rest;
            std::getline(fields >> std::ws, rest);
            auto space = rest.find_last_of(' ');
            if (space == std::string::npos) {
                return std::nullopt;
            }
            skin.font_family = rest.substr(0, space);
            skin.font_pixels = std::atoi(rest.c_str() + space + 1);
            if (skin.font_pixels <= 0 || skin.font_pixels > 200) {
                return std::nullopt;
            }
        } else if (key == "style") {
            in_style = true;
        } else {
            return std::nullopt;  // a damaged or newer skin: keep the system look
        }
    }
    if (!versioned || in_style) {
        return std::nullopt;
    }
    return skin;
}

std::uint32_t shift_color(std::uint32_t rgb, int hue, int saturation, int brightness) {
    if (hue == 0 && saturation == 0 && brightness == 0) {
        return rgb & 0xFFFFFF;
    }
    QColor color = to_qcolor(rgb).toHsl();
    float h = color.hslHueF();
    float s = color.hslSaturationF();
    float l = color.lightnessF();
    if (h >= 0) {
        h = std::fmod(h + static_cast<float>(hue) / 360.0f + 1.0f, 1.0f);
    } else {
        h = 0;
    }
    auto scale = [](float v, int amount) {
        float a = static_cast<float>(std::clamp(amount, -100, 100)) / 100.0f;
        return std::clamp(a >= 0 ? v + (1.0f - v) * a : v * (1.0f + a), 0.0f, 1.0f);
    };
    QColor shifted = QColor::fromHslF(h, scale(s, saturation), scale(l, brightness)).toRgb();
    return (static_cast<std::uint32_t>(shifted.red()) << 16) |
           (static_cast<std::uint32_t>(shifted.green()) << 8) |
           static_cast<std::uint32_t>(shifted.blue());
}

std::string render_skin_style(const Skin& skin, int hue, int saturation, int brightness) {
    std::string out;
    const std::string& style = skin.style;
    for (std::size_t i = 0; i < style.size();) {
        if (style[i] == '@') {
            std::size_t end = i + 1;
            while (end < style.size() &&
                   (std::isalnum(static_cast<unsigned char>(style[end])) || style[end] == '-')) {
                ++end;
            }
            auto found = skin.colors.find(style.substr(i + 1, end - i - 1));
            if (found != skin.colors.end()) {
                out += color_text(shift_color(found->second, hue, saturation, brightness));
                i = end;
                continue;
            }
        }
        out += style[i++];
    }
    return out;
}

int SkinH_AttachRes(const std::uint8_t* data, std::uint32_t size, const char* /*password*/,
                    int hue, int saturation, int brightness) {
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
            palette.setColor(role, to_qcolor(shift_color(found->second, hue, saturation,
                                                         brightness)));
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
