#include "applanguage.h"

#include "appfiles.h"
#include "uilanguage.h"

#include <QLocale>

using PCOMMON::UiLanguage;

namespace {

// One catalogue per library; the module's names the languages the application has.
const QString ModuleCatalogue = QStringLiteral("matrix_config");

QStringList catalogues()
{
    return {ModuleCatalogue, QStringLiteral("decoder_service"), QStringLiteral("decoder_network"),
            QStringLiteral("host_framework"), QStringLiteral("tvwall")};
}

} // namespace

bool installLanguage(const QString& language, QString* error)
{
    const QString directory = PCOMMON::AppFiles::translationsDirectory();
    if (language.isEmpty()) {
        UiLanguage::install(QLocale::system(), catalogues(), directory);
        return true;
    }
    const QStringList languages = UiLanguage::available(ModuleCatalogue, directory);
    if (!languages.contains(language)) {
        *error = QStringLiteral("no translation for the language %1 (available: %2)")
                     .arg(language, languages.join(QStringLiteral(", ")));
        return false;
    }
    const QLocale locale(language);
    QLocale::setDefault(locale);
    UiLanguage::install(locale, catalogues(), directory);
    return true;
}
