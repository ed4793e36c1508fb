// The Qt Widgets message box behind the default dialog backend on Linux.
#pragma once

#include <memory>

class QMessageBox;

namespace wavlon::platform {

struct MessageBoxRequest;  // platform/dialogs.h

// The box the default backend shows for `request`, built but not shown: the style's buttons,
// the default and Escape buttons set, texts in the installed translation
// (platform/qt_translations.h). Needs the application object.
std::unique_ptr<QMessageBox> build_message_box(const MessageBoxRequest& request);

}  // namespace wavlon::platform
