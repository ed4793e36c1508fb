#!/usr/bin/env python3
"""Writes the 33 skins of the program (skin01.she .. skin33.she) in the skin engine's format.

Every skin shares one style sheet and differs in its palette: a light or dark ground and an
accent colour. Run it after changing the style or a palette; the .she files are committed.
"""
import colorsys
import pathlib

STYLE = """\
QDialog { background: @window; }
QPushButton {
  color: @button-text; background: qlineargradient(x1:0, y1:0, x2:0, y2:1,
    stop:0 @button-light, stop:1 @button);
  border: 1px solid @border; border-radius: 4px; padding: 1px 4px;
}
QPushButton:hover { background: @button-light; border-color: @accent; }
QPushButton:pressed { background: @accent; color: @highlighted-text; }
QPushButton:disabled { color: @disabled-text; background: @window; border-color: @border; }
QLineEdit {
  background: @base; color: @text; border: 1px solid @border; border-radius: 3px;
  padding: 1px 3px; selection-background-color: @highlight;
}
QLineEdit:focus { border-color: @accent; }
QLineEdit:disabled { background: @window; color: @text; }
QListWidget, QListView, QTreeWidget, QTreeView, QTableView {
  color: @text; border: 1px solid @border; border-radius: 3px;
  selection-background-color: @highlight; selection-color: @highlighted-text;
}
QTreeWidget, QTreeView, QTableView { background: @base; alternate-background-color: @alternate-base; }
QHeaderView::section {
  background: @button; color: @button-text; border: none;
  border-right: 1px solid @border; padding: 2px 4px;
}
QSlider::groove:horizontal { height: 6px; background: @groove; border-radius: 3px; }
QSlider::sub-page:horizontal { background: @accent; border-radius: 3px; }
QSlider::handle:horizontal {
  width: 14px; margin: -5px 0; border-radius: 7px;
  background: @base; border: 2px solid @accent;
}
QScrollBar:vertical { width: 12px; background: @window; }
QScrollBar::handle:vertical { background: @groove; border-radius: 5px; min-height: 24px; margin: 2px; }
QScrollBar::add-line, QScrollBar::sub-line { height: 0; width: 0; }
QScrollBar:horizontal { height: 12px; background: @window; }
QScrollBar::handle:horizontal { background: @groove; border-radius: 5px; min-width: 24px; margin: 2px; }
QMessageBox, QFileDialog { background: @window; }
QToolTip { color: @text; background: @base; border: 1px solid @border; }
"""

# (name, accent hue in degrees, dark ground)
SKINS = [
    ("晴空", 205, False), ("青瓷", 170, False), ("竹影", 120, False), ("杏花", 20, False),
    ("紫藤", 275, False), ("海洋", 210, False), ("落霞", 12, False), ("秋叶", 35, False),
    ("薄荷", 155, False), ("樱粉", 340, False), ("石墨", 215, True), ("夜空", 230, True),
    ("墨竹", 130, True), ("深海", 195, True), ("琥珀", 40, True), ("玫瑰", 350, True),
    ("晨雾", 200, False), ("麦田", 48, False), ("湖蓝", 190, False), ("丁香", 290, False),
    ("朱砂", 5, False), ("松石", 175, True), ("暮光", 260, True), ("枫红", 8, True),
    ("橄榄", 80, False), ("珊瑚", 16, False), ("冰川", 185, False), ("铜绿", 160, True),
    ("金秋", 42, False), ("蓝莓", 240, False), ("烟灰", 210, False), ("极光", 150, True),
    ("月白", 220, False),
]


def hsl(h, s, l):
    r, g, b = colorsys.hls_to_rgb((h % 360) / 360.0, l, s)
    return "#%02x%02x%02x" % (round(r * 255), round(g * 255), round(b * 255))


def palette(hue, dark):
    if dark:
        return {
            "window": hsl(hue, 0.12, 0.16), "window-text": hsl(hue, 0.10, 0.90),
            "base": hsl(hue, 0.14, 0.11), "alternate-base": hsl(hue, 0.14, 0.14),
            "text": hsl(hue, 0.08, 0.92), "button": hsl(hue, 0.18, 0.24),
            "button-light": hsl(hue, 0.20, 0.32), "button-text": hsl(hue, 0.10, 0.94),
            "highlight": hsl(hue, 0.55, 0.42), "highlighted-text": "#ffffff",
            "accent": hsl(hue, 0.65, 0.55), "border": hsl(hue, 0.15, 0.32),
            "groove": hsl(hue, 0.15, 0.30), "disabled-text": hsl(hue, 0.06, 0.50),
        }
    return {
        "window": hsl(hue, 0.30, 0.93), "window-text": hsl(hue, 0.35, 0.15),
        "base": "#ffffff", "alternate-base": hsl(hue, 0.35, 0.97),
        "text": hsl(hue, 0.30, 0.12), "button": hsl(hue, 0.45, 0.84),
        "button-light": hsl(hue, 0.50, 0.93), "button-text": hsl(hue, 0.45, 0.18),
        "highlight": hsl(hue, 0.60, 0.48), "highlighted-text": "#ffffff",
        "accent": hsl(hue, 0.65, 0.45), "border": hsl(hue, 0.25, 0.70),
        "groove": hsl(hue, 0.25, 0.80), "disabled-text": hsl(hue, 0.10, 0.60),
    }


def main():
    here = pathlib.Path(__file__).resolve().parent
    for number, (name, hue, dark) in enumerate(SKINS, start=1):
        lines = [".SHE", "version 1", f"name {name}"]
        for role, value in palette(hue, dark).items():
            lines.append(f"color {role} {value}")
        lines.append("style")
        lines.append(STYLE.rstrip("\n"))
        lines.append("end")
        (here / f"skin{number:02d}.she").write_text("\n".join(lines) + "\n", encoding="utf-8")


if __name__ == "__main__":
    main()
