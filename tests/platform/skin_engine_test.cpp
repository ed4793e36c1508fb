#include "platform/skin_engine.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPalette>

#include "support/qt_app.h"

namespace wavlon::platform {
namespace {

const std::string kSkin =
    ".SHE\nversion 1\nname test\ncolor window #102030\ncolor accent #ff0000\n"
    "color button-text #00ff00\nstyle\nQPushButton { color: @button-text; "
    "border: 1px solid @accent; }\nQSlider { color: @nosuchrole; }\nend\n";

TEST(SkinEngine, ReadsASkin) {
    auto skin = parse_skin(kSkin);
    ASSERT_TRUE(skin);
    EXPECT_EQ(skin->name, "test");
    EXPECT_EQ(skin->colors.at("window"), 0x102030u);
    EXPECT_EQ(render_skin_style(*skin, 0, 0, 0),
              "QPushButton { color: #00ff00; border: 1px solid #ff0000; }\n"
              "QSlider { color: @nosuchrole; }\n");
}

TEST(SkinEngine, RefusesDamagedSkins) {
    const std::string damaged[] = {
        "",
        "SHE.\nversion 1\n",                           // wrong magic
        ".SHE\nname no version\n",                     // no version line
        ".SHE\nversion 2\n",                           // a version this engine does not know
        ".SHE\nversion 1\ncolor window #12345\n",      // short colour
        ".SHE\nversion 1\ncolor window #12345g\n",     // not hexadecimal
        ".SHE\nversion 1\nstyle\nQWidget {}\n",        // style never ends
        ".SHE\nversion 1\nsparkle on\n",               // unknown statement
        ".SHE\nversion 1\nfont Sans 0\n",              // font without a size
    };
    for (const auto& bytes : damaged) {
        EXPECT_FALSE(parse_skin(bytes)) << bytes;
    }
}

TEST(SkinEngine, ShiftsHueSaturationAndBrightness) {
    EXPECT_EQ(shift_color(0xff0000, 0, 0, 0), 0xff0000u);
    EXPECT_EQ(shift_color(0xff0000, 120, 0, 0), 0x00ff00u);
    EXPECT_EQ(shift_color(0xff0000, -120, 0, 0), 0x0000ffu);
    EXPECT_EQ(shift_color(0x336699, 0, 0, 100), 0xffffffu);
    EXPECT_EQ(shift_color(0x336699, 0, 0, -100), 0x000000u);
    std::uint32_t grey = shift_color(0x336699, 0, -100, 0);
    EXPECT_EQ(grey >> 16, (grey >> 8) & 0xFF);
    EXPECT_EQ(grey & 0xFF, (grey >> 8) & 0xFF);
}

TEST(SkinEngine, AttachingAppliesPaletteAndStyleAndRefusalsChangeNothing) {
    QApplication& app = testing::qt_application();
    app.setStyleSheet(QString());
    QPalette before = QApplication::palette();

    EXPECT_EQ(SkinH_AttachRes(nullptr, 0, "", 0, 0, 0), 0);
    const std::string broken = ".SHE\nversion 9\n";
    EXPECT_EQ(SkinH_AttachRes(reinterpret_cast<const std::uint8_t*>(broken.data()),
                              static_cast<std::uint32_t>(broken.size()), "", 0, 0, 0),
              0);
    EXPECT_TRUE(app.styleSheet().isEmpty());
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), before.color(QPalette::Window));

    EXPECT_EQ(SkinH_AttachRes(reinterpret_cast<const std::uint8_t*>(kSkin.data()),
                              static_cast<std::uint32_t>(kSkin.size()), "", 120, 0, 0),
              1);
    EXPECT_TRUE(app.styleSheet().contains(QStringLiteral("#0000ff")));  // green shifted by 120
    EXPECT_EQ(QApplication::palette().color(QPalette::Window).rgb() & 0xFFFFFF,
              shift_color(0x102030, 120, 0, 0));
    app.setStyleSheet(QString());
    QApplication::setPalette(before);
}

}  // namespace
}  // namespace wavlon::platform
