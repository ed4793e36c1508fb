#include "unit_look.h"

#include <QPalette>
#include <QStringList>
#include <QWidget>
#include <algorithm>

namespace wavlon::units {
namespace {

constexpr int kDefaultPixels = 12;
constexpr int kMaxPixels = 4096;

}  // namespace

// Song (Ming) and Kai faces fall back to the serif Noto face, the Hei face to the sans one.
const FontStandIn kFontStandIns[4] = {
    {"宋体", {"AR PL UMing CN", "Noto Serif CJK SC"}},
    {"新宋体", {"AR PL UMing CN", "Noto Serif CJK SC"}},
    {"楷体", {"AR PL UKai CN", "Noto Serif CJK SC"}},
    {"微软雅黑", {"WenQuanYi Micro Hei", "Noto Sans CJK SC"}},
};

QString to_qstring(const runtime::Text& text) {
    return QString::fromStdU16String(platform::gbk_to_utf16(text));
}

runtime::Text from_qstring(const QString& text) {
    return platform::utf16_to_gbk(text.toStdU16String());
}

void install_font_substitutions() {
    for (const FontStandIn& entry : kFontStandIns) {
        QStringList families;
        for (const char* family : entry.stand_ins) {
            families << QString::fromUtf8(family);
        }
        QFont::insertSubstitutions(QString::fromUtf8(entry.face), families);
    }
}

QFont default_unit_font() {
    QFont font(QStringLiteral("宋体"));
    font.setPixelSize(kDefaultPixels);
    return font;
}

QFont qfont(const runtime::FontSetting& stored) {
    if (!stored) {
        return default_unit_font();
    }
    QFont font(to_qstring(stored->face));
    // A height of 0 asks for the face's default size; INT_MIN has no magnitude.
    int pixels =
        stored->height == 0 || stored->height == INT32_MIN ? kDefaultPixels : stored->pixel_size();
    font.setPixelSize(std::clamp(pixels, 1, kMaxPixels));
    int weight = stored->weight <= 0 ? runtime::kFontWeightNormal : stored->weight;
    font.setWeight(static_cast<QFont::Weight>(std::clamp(weight, 1, 1000)));
    font.setItalic(stored->italic != 0);
    font.setUnderline(stored->underline != 0);
    font.setStrikeOut(stored->strike_out != 0);
    return font;
}

QColor qcolour(std::uint32_t colour) {
    if (colour == runtime::kSystemColour) {
        return {};
    }
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

void set_palette_colour(QWidget& widget, int role, std::uint32_t colour) {
    QColor qt_colour = qcolour(colour);
    if (!qt_colour.isValid()) {
        return;
    }
    QPalette palette = widget.palette();
    palette.setColor(static_cast<QPalette::ColorRole>(role), qt_colour);
    widget.setPalette(palette);
}

}  // namespace wavlon::units
