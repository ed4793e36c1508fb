// Qt's own texts in the user's language: the standard buttons of message boxes ("确定",
// "取消") and Qt's folder dialog. The program's own texts are Chinese already.
#pragma once

class QLocale;

namespace wavlon::platform {

// Loads Qt's catalogue for `locale` from Qt's translations folder (on Debian the package
// qt6-translations-l10n) and installs it in the application, in place of the one installed
// before. False, with Qt's English texts, when there is no catalogue for the locale (the C
// locale has none). Needs the application object; user-interface thread only.
bool install_qt_translations(const QLocale& locale);

}  // namespace wavlon::platform
