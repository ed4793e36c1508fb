#include "platform/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <memory>

namespace wavlon::platform {
namespace {

std::unique_ptr<QTranslator> g_installed;

}  // namespace

bool install_qt_translations(const QLocale& locale) {
    if (g_installed) {
        QCoreApplication::removeTranslator(g_installed.get());
        g_installed.reset();
    }
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        return false;
    }
    QCoreApplication::installTranslator(translator.get());
    g_installed = std::move(translator);
    return true;
}

}  // namespace wavlon::platform
