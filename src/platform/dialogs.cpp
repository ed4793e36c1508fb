#include "platform/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

#include <cstdio>
#include <utility>
#include <vector>

namespace wavlon::platform {
namespace {

QString from_utf8(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

class QtDialogs final : public DialogBackend {
public:
    DialogButton message_box(const MessageBoxRequest& request) override {
        if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
            // No user interface yet (or none at all): say it where someone can read it.
            std::fprintf(stderr, "%s: %s\n", request.caption.c_str(), request.text.c_str());
            return DialogButton::Ok;
        }
        QWidget* owner = request.owner ? QWidget::find(static_cast<WId>(request.owner)) : nullptr;
        QMessageBox box(owner);
        box.setWindowTitle(from_utf8(request.caption));
        box.setText(from_utf8(request.text).replace(QLatin1String("\r\n"), QLatin1String("\n")));
        box.setIcon(icon(request.flags & kMessageBoxIconMask));
        box.setWindowModality(Qt::ApplicationModal);

        std::vector<std::pair<QPushButton*, DialogButton>> buttons;
        for (auto [role, code] : button_set(request.flags & kMessageBoxButtonMask)) {
            buttons.emplace_back(box.addButton(role), code);
        }
        std::size_t default_index = (request.flags & kMessageBoxDefaultButtonMask) >> 8;
        if (default_index < buttons.size()) {
            box.setDefaultButton(buttons[default_index].first);
        }
        box.setEscapeButton(buttons.back().first);
        box.exec();
        for (auto& [button, code] : buttons) {
            if (box.clickedButton() == button) {
                return code;
            }
        }
        return buttons.back().second;
    }

    std::string browse_for_folder(const FolderRequest& request) override {
        QFileDialog dialog(QApplication::activeWindow(), from_utf8(request.title));
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly, !request.include_files);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return {};
        }
        QByteArray path = dialog.selectedFiles().first().toUtf8();
        return std::string(path.constData(), static_cast<std::size_t>(path.size()));
    }

private:
    static QMessageBox::Icon icon(std::uint32_t bits) {
        switch (bits) {
            case kMessageBoxIconError: return QMessageBox::Critical;
            case kMessageBoxIconQuestion: return QMessageBox::Question;
            case kMessageBoxIconWarning: return QMessageBox::Warning;
            case kMessageBoxIconInformation: return QMessageBox::Information;
            default: return QMessageBox::NoIcon;
        }
    }

    static std::vector<std::pair<QMessageBox::StandardButton, DialogButton>> button_set(
        std::uint32_t bits) {
        using B = QMessageBox;
        switch (bits) {
            case kMessageBoxOkCancel:
                return {{B::Ok, DialogButton::Ok}, {B::Cancel, DialogButton::Cancel}};
            case kMessageBoxAbortRetryIgnore:
                return {{B::Abort, DialogButton::Abort},
                        {B::Retry, DialogButton::Retry},
                        {B::Ignore, DialogButton::Ignore}};
            case kMessageBoxYesNoCancel:
                return {{B::Yes, DialogButton::Yes},
                        {B::No, DialogButton::No},
                        {B::Cancel, DialogButton::Cancel}};
            case kMessageBoxYesNo: return {{B::Yes, DialogButton::Yes}, {B::No, DialogButton::No}};
            case kMessageBoxRetryCancel:
                return {{B::Retry, DialogButton::Retry}, {B::Cancel, DialogButton::Cancel}};
            default: return {{B::Ok, DialogButton::Ok}};
        }
    }
};

QtDialogs g_qt_dialogs;
DialogBackend* g_backend = &g_qt_dialogs;

}  // namespace

DialogBackend& dialogs() { return *g_backend; }

DialogBackend* set_dialog_backend(DialogBackend* backend) {
    DialogBackend* previous = g_backend == &g_qt_dialogs ? nullptr : g_backend;
    g_backend = backend ? backend : &g_qt_dialogs;
    return previous;
}

}  // namespace wavlon::platform
