#include "app/skins.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPalette>

#include "app/skin_data.h"
#include "platform/skin_engine.h"
#include "runtime/byte_set.h"
#include "support/qt_app.h"

namespace wavlon::app {
namespace {

TEST(Skins, ThirtyThreeStoredSkinsThatTheEngineReads) {
    ASSERT_EQ(stored_skin_count(), 33);
    for (int number = 1; number <= 33; ++number) {
        auto skin = runtime::ByteSet::from_stored(stored_skin(number));
        ASSERT_TRUE(skin) << number;
        EXPECT_EQ(skin->view().substr(0, 4), ".SHE") << number;
        EXPECT_TRUE(platform::parse_skin(skin->view())) << number;
    }
    EXPECT_TRUE(stored_skin(0).empty());
    EXPECT_TRUE(stored_skin(34).empty());
}

TEST(Skins, SkinSixGivesTheWindowItsLookAndUnknownNumbersKeepTheSystemLook) {
    QApplication& app = testing::qt_application();
    app.setStyleSheet(QString());
    QPalette system = QApplication::palette();

    apply_skin(0);
    apply_skin(34);
    EXPECT_TRUE(app.styleSheet().isEmpty());
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), system.color(QPalette::Window));

    apply_skin(6);
    auto skin = platform::parse_skin(runtime::ByteSet::from_stored(stored_skin(6))->view());
    ASSERT_TRUE(skin);
    EXPECT_FALSE(app.styleSheet().isEmpty());
    EXPECT_EQ(QApplication::palette().color(QPalette::Window).rgb() & 0xFFFFFF,
              skin->colors.at("window"));
    app.setStyleSheet(QString());
    QApplication::setPalette(system);
}

}  // namespace
}  // namespace wavlon::app
