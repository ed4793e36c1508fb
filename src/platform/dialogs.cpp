#include "platform/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

#include <cstdio>
#include <memory>
#include <vector>

#include "platform/dialogs_qt.h"

namespace wavlon::platform {
namespace {

QString from_utf8(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QMessageBox::Icon icon(std::uint32_t bits) {
    switch (bits) {
        case kMessageBoxIconError:
            return QMessageBox::Critical;
        case kMessageBoxIconQuestion:
            return QMessageBox::Question;
        case kMessageBoxIconWarning:
            return QMessageBox::Warning;
        case kMessageBoxIconInformation:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

// The buttons of a button-set style, in the order they stand; the last one answers Escape.
std::vector<QMessageBox::StandardButton> button_set(std::uint32_t bits) {
    using B = QMessageBox;
    switch (bits) {
        case kMessageBoxOkCancel:
            return {B::Ok, B::Cancel};
        case kMessageBoxAbortRetryIgnore:
            return {B::Abort, B::Retry, B::Ignore};
        case kMessageBoxYesNoCancel:
            return {B::Yes, B::No, B::Cancel};
        case kMessageBoxYesNo:
            return {B::Yes, B::No};
        case kMessageBoxRetryCancel:
            return {B::Retry, B::Cancel};
        default:
            return {B::Ok};
    }
}

DialogButton code_of(QMessageBox::StandardButton button) {
    switch (button) {
        case QMessageBox::Cancel:
            return DialogButton::Cancel;
        case QMessageBox::Abort:
            return DialogButton::Abort;
        case QMessageBox::Retry:
            return DialogButton::Retry;
        case QMessageBox::Ignore:
            return DialogButton::Ignore;
        case QMessageBox::Yes:
            return DialogButton::Yes;
        case QMessageBox::No:
            return DialogButton::No;
        default:
            return DialogButton::Ok;
    }
}

class QtDialogs final : public DialogBackend {
public:
    DialogButton message_box(const MessageBoxRequest& request) override {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
            // No user interface yet (or none at all): say it where someone can read it.
            std::fprintf(stderr, "%s: %s\n", request.caption.c_str(), request.text.c_str());
            return DialogButton::Ok;
        }
        std::unique_ptr<QMessageBox> box = build_message_box(request);
        box->exec();
        QAbstractButton* clicked = box->clickedButton();
        // Closed without a button (Escape): the escape button's answer.
        return code_of(box->standardButton(clicked ? clicked : box->escapeButton()));
    }

    std::string browse_for_folder(const FolderRequest& request) override {
        // The desktop's own dialog (through its platform theme or the portal) where there is
        // one; Qt's dialog otherwise.
        QFileDialog dialog(QApplication::activeWindow(), from_utf8(request.title));
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly, !request.include_files);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return {};
        }
        QByteArray path = dialog.selectedFiles().first().toUtf8();
        return std::string(path.constData(), static_cast<std::size_t>(path.size()));
    }
};

QtDialogs g_qt_dialogs;
DialogBackend* g_backend = &g_qt_dialogs;

}  // namespace

std::unique_ptr<QMessageBox> build_message_box(const MessageBoxRequest& request) {
    QWidget* owner = request.owner ? QWidget::find(static_cast<WId>(request.owner)) : nullptr;
    auto box = std::make_unique<QMessageBox>(owner);
    box->setWindowTitle(from_utf8(request.caption));
    box->setText(from_utf8(request.text).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    box->setIcon(icon(request.flags & kMessageBoxIconMask));
    box->setWindowModality(Qt::ApplicationModal);
    std::vector<QPushButton*> buttons;
    for (QMessageBox::StandardButton button : button_set(request.flags & kMessageBoxButtonMask)) {
        buttons.push_back(box->addButton(button));
    }
    std::size_t default_index = (request.flags & kMessageBoxDefaultButtonMask) >> 8;
    if (default_index < buttons.size()) {
        box->setDefaultButton(buttons[default_index]);
    }
    box->setEscapeButton(buttons.back());
    return box;
}

DialogBackend& dialogs() {
    return *g_backend;
}

DialogBackend* set_dialog_backend(DialogBackend* backend) {
    DialogBackend* previous = g_backend == &g_qt_dialogs ? nullptr : g_backend;
    g_backend = backend ? backend : &g_qt_dialogs;
    return previous;
}

}  // namespace wavlon::platform
