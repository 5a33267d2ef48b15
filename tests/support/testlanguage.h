#pragma once

#include "uilanguage.h"

#include <QCoreApplication>
#include <QLocale>

/**
 * Installs the translations of every library, as the application does, from the build's
 * folder of executables where the tests run. Returns the language installed, empty when the
 * texts stay English.
 */
inline QString installTestLanguage(const QString& language)
{
    return PCOMMON::UiLanguage::install(QLocale(language),
                                        {QStringLiteral("matrix_config"), QStringLiteral("decoder_service"),
                                         QStringLiteral("host_framework"), QStringLiteral("tvwall")},
                                        QCoreApplication::applicationDirPath());
}
