// Look of the Qt units: texts, fonts and colours as the runtime stores them, turned into Qt's.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include "runtime/template_blocks.h"
#include "runtime/text.h"

class QWidget;

namespace wavlon::units {

using runtime::operator""_gb;

QString to_qstring(const runtime::Text& text);
runtime::Text from_qstring(const QString& text);

// The stored faces of the program's fonts and the installed faces that stand in for them, in
// order of preference: the faces scripts/install-deps.sh installs, then Noto CJK, which most
// current desktops carry.
struct FontStandIn {
    const char* face;          // UTF-8, as stored
    const char* stand_ins[2];  // family names
};
extern const FontStandIn kFontStandIns[4];

// Makes Qt draw the stored faces (宋体, 新宋体, 楷体, 微软雅黑) with the first installed
// stand-in. Call once, after the application object exists and before any unit is created.
void install_font_substitutions();

// The font every window starts with (and so every unit without a font of its own):
// 宋体 at 12 pixels, the platform's default GUI font of the stored windows.
QFont default_unit_font();

// A stored font by face and character height in pixels; the default font for none.
// The angle (escapement) is not drawn.
QFont qfont(const runtime::FontSetting& font);

// A stored colour (0x00BBGGRR); invalid for kSystemColour, meaning "keep the palette's".
QColor qcolour(std::uint32_t colour);

// Sets `role` of the widget's palette to `colour` unless it is kSystemColour.
void set_palette_colour(QWidget& widget, int role, std::uint32_t colour);

}  // namespace wavlon::units
