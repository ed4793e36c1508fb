// The skin format: reading a skin and shifting its colours, shared by the engines of both
// systems (skin_engine.cpp on Qt, win/skin_engine_win.cpp on Win32).
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "platform/skin_engine.h"

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
        value = value * 16 +
                static_cast<std::uint32_t>(std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10);
    }
    return value;
}

std::string color_text(std::uint32_t rgb) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "#%06x", rgb & 0xFFFFFF);
    return buffer;
}

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

namespace {

struct Hsl {
    double hue = -1;  // 0..1, -1 for a grey
    double saturation = 0;
    double lightness = 0;
};

Hsl to_hsl(std::uint32_t rgb) {
    const double r = ((rgb >> 16) & 0xFF) / 255.0;
    const double g = ((rgb >> 8) & 0xFF) / 255.0;
    const double b = (rgb & 0xFF) / 255.0;
    const double high = std::max({r, g, b});
    const double low = std::min({r, g, b});
    Hsl hsl;
    hsl.lightness = (high + low) / 2;
    const double span = high - low;
    if (span <= 0) {
        return hsl;
    }
    hsl.saturation = hsl.lightness <= 0.5 ? span / (high + low) : span / (2 - high - low);
    double hue = high == r ? (g - b) / span : high == g ? 2 + (b - r) / span : 4 + (r - g) / span;
    hsl.hue = std::fmod(hue / 6 + 1, 1.0);
    return hsl;
}

std::uint32_t to_rgb(const Hsl& hsl) {
    const double l = hsl.lightness;
    const double s = hsl.saturation;
    const double q = l < 0.5 ? l * (1 + s) : l + s - l * s;
    const double p = 2 * l - q;
    auto channel = [&](double t) {
        t = std::fmod(t + 1, 1.0);
        double v = t < 1.0 / 6   ? p + (q - p) * 6 * t
                   : t < 0.5     ? q
                   : t < 2.0 / 3 ? p + (q - p) * (2.0 / 3 - t) * 6
                                 : p;
        return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
    };
    const double h = hsl.hue < 0 ? 0 : hsl.hue;
    return (channel(h + 1.0 / 3) << 16) | (channel(h) << 8) | channel(h - 1.0 / 3);
}

}  // namespace

std::uint32_t shift_color(std::uint32_t rgb, int hue, int saturation, int brightness) {
    if (hue == 0 && saturation == 0 && brightness == 0) {
        return rgb & 0xFFFFFF;
    }
    Hsl hsl = to_hsl(rgb);
    hsl.hue = hsl.hue >= 0 ? std::fmod(hsl.hue + hue / 360.0 + 1.0, 1.0) : 0;
    auto scale = [](double v, int amount) {
        double a = std::clamp(amount, -100, 100) / 100.0;
        return std::clamp(a >= 0 ? v + (1.0 - v) * a : v * (1.0 + a), 0.0, 1.0);
    };
    hsl.saturation = scale(hsl.saturation, saturation);
    hsl.lightness = scale(hsl.lightness, brightness);
    return to_rgb(hsl);
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

}  // namespace wavlon::platform
