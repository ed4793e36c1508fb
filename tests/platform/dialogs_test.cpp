#include "platform/dialogs.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

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

TEST(MessageBox, ButtonsDefaultAndEscapeFollowTheStyleBits) {
    testing::qt_application();
    struct Case {
        std::uint32_t flags;
        std::vector<QMessageBox::StandardButton> buttons;
        QMessageBox::StandardButton default_button;
        QMessageBox::StandardButton escape_button;
    };
    using B = QMessageBox;
    const Case cases[] = {
        {kMessageBoxOk, {B::Ok}, B::Ok, B::Ok},
        {kMessageBoxOkCancel | 0x100, {B::Ok, B::Cancel}, B::Cancel, B::Cancel},
        {kMessageBoxYesNoCancel | 0x100, {B::Yes, B::No, B::Cancel}, B::No, B::Cancel},
        {kMessageBoxAbortRetryIgnore | 0x200,
         {B::Abort, B::Retry, B::Ignore},
         B::Ignore,
         B::Ignore},
        {kMessageBoxYesNo | 0x300, {B::Yes, B::No}, B::NoButton, B::No},  // no fourth button
        {kMessageBoxRetryCancel, {B::Retry, B::Cancel}, B::Retry, B::Cancel},
        {0xE, {B::Ok}, B::Ok, B::Ok},  // unknown set: OK alone
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        auto box = build_message_box({"text", "caption", c.flags});
        std::vector<QMessageBox::StandardButton> buttons;
        for (QAbstractButton* button : box->buttons()) {
            buttons.push_back(box->standardButton(button));
        }
        // The box lays its buttons out by role, so only which buttons it has is compared.
        std::vector<QMessageBox::StandardButton> expected = c.buttons;
        std::sort(buttons.begin(), buttons.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(buttons, expected);
        if (c.default_button != B::NoButton) {
            EXPECT_EQ(box->standardButton(box->defaultButton()), c.default_button);
        }
        EXPECT_EQ(box->standardButton(box->escapeButton()), c.escape_button);
    }
}

}  // namespace
}  // namespace wavlon::platform
