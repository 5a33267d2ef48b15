#pragma once

#include "uilanguage.h"

#include <QCoreApplication>

/// Installs every library's translations as the application does, from the folder of the tests.
inline QString installTestLanguage(const QString& language)
{
    return PCOMMON::UiLanguage::install(
        QLocale(language),
        {"matrix_config", "decoder_service", "decoder_network", "host_framework", "tvwall"},
        QCoreApplication::applicationDirPath());
}
