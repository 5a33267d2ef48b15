#pragma once

#include <QString>

/**
 * Installs the translations of the application and its libraries from its shared files
 * (share/tvwall/translations): for language ("en", "zh_CN", ...) when one is given, else for
 * the system's user-interface languages. A language given explicitly also becomes the default locale.
 * @return false, with the reason in error, when there is no translation for language.
 */
bool installLanguage(const QString& language, QString* error);
