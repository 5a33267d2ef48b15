#pragma once

#include "host_framework_global.h"

#include <QLocale>
#include <QString>
#include <QStringList>

namespace PCOMMON {

/**
 * @brief Chooses the language of the user interface and installs its translations.
 *
 * The texts are written in English; a translation of one library's texts is a catalogue
 * file "<catalogue>_<language>.qm" (e.g. "matrix_config_zh_CN.qm") in one directory, the
 * application's AppFiles::translationsDirectory(). Qt's own texts (standard buttons, dialogs,
 * context menus) follow in the same language, but only when the application has that language
 * itself, so that a screen never mixes two languages other than English. GUI thread only.
 */
class HOST_FRAMEWORK_EXPORT UiLanguage
{
public:
    /**
     * Installs the catalogues' translations for the first of the locale's user-interface
     * languages that they have, replacing what an earlier call installed. For Simplified
     * Chinese the application's font also takes a Simplified Chinese face for Han characters.
     * @return the language installed ("zh_CN"), or an empty text when the English texts stay.
     */
    static QString install(const QLocale& locale, const QStringList& catalogues, const QString& directory);

    /** Removes what install() installed: the English texts and the font come back. */
    static void uninstall();

    /** The languages the catalogue has in directory, "en" (its own texts) first. */
    static QStringList available(const QString& catalogue, const QString& directory);

private:
    UiLanguage() = delete;
};

} // namespace PCOMMON
