#include "platform/dialogs.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/dialogs_qt.h"
#include "platform/qt_translations.h"
#include "support/qt_app.h"

namespace wavlon::platform {
namespace {

std::vector<std::string> button_texts(const QMessageBox& box) {
    std::vector<std::string> texts;
    for (QAbstractButton* button : box.buttons()) {
        texts.push_back(button->text().remove(QLatin1Char('&')).toStdString());
    }
    return texts;
}

class QtTranslations : public ::testing::Test {
protected:
    void SetUp() override { testing::qt_application(); }
    void TearDown() override { install_qt_translations(QLocale::c()); }
};

TEST_F(QtTranslations, MessageBoxButtonsSpeakTheSystemsLanguage) {
    struct Case {
        const char* locale;
        bool catalogue;
        std::vector<std::string> ok_cancel;
    };
    const Case cases[] = {
        {"zh_CN", true, {"确定", "取消"}},    {"C", false, {"OK", "Cancel"}},
        {"de_DE", true, {"OK", "Abbrechen"}}, {"zh_CN", true, {"确定", "取消"}},
        {"en_US", true, {"OK", "Cancel"}},  // the Chinese catalogue is gone again
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locale);
        EXPECT_EQ(install_qt_translations(QLocale(QString::fromLatin1(c.locale))), c.catalogue);
        auto box = build_message_box({"请检测网络通讯连接是否正常", "信息：", kMessageBoxOkCancel});
        EXPECT_EQ(button_texts(*box), c.ok_cancel);
    }
}

TEST_F(QtTranslations, QtsOwnFolderDialogIsChineseUnderAChineseLocale) {
    ASSERT_TRUE(install_qt_translations(QLocale(QStringLiteral("zh_CN"))));
    QFileDialog dialog(nullptr, QStringLiteral("请选择音乐文件存放目录"));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setFileMode(QFileDialog::Directory);
    auto* look_in = dialog.findChild<QLabel*>(QStringLiteral("lookInLabel"));
    ASSERT_NE(look_in, nullptr);
    const QString text = look_in->text();
    EXPECT_NE(text, QStringLiteral("Look in:"));
    EXPECT_TRUE(std::any_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF;
    })) << text.toStdString();
}

}  // namespace
}  // namespace wavlon::platform
