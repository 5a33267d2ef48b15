#pragma once

#include "appfiles.h"
#include "uilanguage.h"

/// Installs every library's translations as the application does, from the build's shared files.
inline QString installTestLanguage(const QString& language)
{
    return PCOMMON::UiLanguage::install(
        QLocale(language),
        {"matrix_config", "decoder_service", "decoder_network", "host_framework", "tvwall"},
        PCOMMON::AppFiles::translationsDirectory());
}
