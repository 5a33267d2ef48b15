#include "uilanguage.h"

#include <QDir>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>

#include <memory>

namespace PCOMMON {

namespace {

const QString Separator = QStringLiteral("_");

QList<QPointer<QTranslator>>& installed()
{
    static QList<QPointer<QTranslator>> translators;
    return translators;
}

// Han characters take different shapes in Chinese, Japanese and Korean faces, and a system
// whose own language is not Chinese may well draw them with a Japanese one. Simplified
// Chinese faces of Debian, best first.
const QStringList SimplifiedChineseFaces = {
    QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Source Han Sans SC"),
    QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("WenQuanYi Zen Hei")};

std::unique_ptr<QFont>& fontBeforeInstall()
{
    static std::unique_ptr<QFont> font;
    return font;
}

/// Lets the application's font fall back on a Simplified Chinese face for Han characters.
void preferHanFaceOf(const QLocale& language)
{
    if (language.script() != QLocale::SimplifiedHanScript)
        return;
    const QStringList installed = QFontDatabase().families();
    for (const QString& face : SimplifiedChineseFaces) {
        if (installed.contains(face)) {
            QFont font = QGuiApplication::font();
            fontBeforeInstall() = std::make_unique<QFont>(font);
            // The face the font resolves to stays first: Latin texts keep their look.
            font.setFamilies({QFontInfo(font).family(), face});
            QGuiApplication::setFont(font);
            return;
        }
    }
}

bool installFile(const QLocale& locale, const QString& catalogue, const QString& directory)
{
    auto translator = std::make_unique<QTranslator>(QCoreApplication::instance());
    if (!translator->load(locale, catalogue, Separator, directory))
        return false;
    QCoreApplication::installTranslator(translator.get());
    installed().append(translator.release());
    return true;
}

} // namespace

QString UiLanguage::install(const QLocale& locale, const QStringList& catalogues, const QString& directory)
{
    uninstall();
    // The first catalogue decides the language, so that the others cannot pick a second one
    // from further down the locale's list.
    QString language;
    for (const QString& catalogue : catalogues) {
        const QLocale wanted = language.isEmpty() ? locale : QLocale(language);
        if (installFile(wanted, catalogue, directory) && language.isEmpty())
            language = installed().constLast()->language();
    }
    if (language.isEmpty())
        return QString();
    const QLocale chosen(language);
    preferHanFaceOf(chosen);
    // Qt's catalogue may ship beside the application; Qt's own folder has it otherwise.
    if (!installFile(chosen, QStringLiteral("qtbase"), directory))
        installFile(chosen, QStringLiteral("qtbase"), QLibraryInfo::location(QLibraryInfo::TranslationsPath));
    return language;
}

void UiLanguage::uninstall()
{
    for (const QPointer<QTranslator>& translator : qAsConst(installed())) {
        if (translator) {
            QCoreApplication::removeTranslator(translator);
            delete translator;
        }
    }
    installed().clear();
    if (fontBeforeInstall()) {
        QGuiApplication::setFont(*fontBeforeInstall());
        fontBeforeInstall().reset();
    }
}

QStringList UiLanguage::available(const QString& catalogue, const QString& directory)
{
    QStringList languages;
    const QString prefix = catalogue + Separator;
    const QStringList files =
        QDir(directory).entryList({prefix + QStringLiteral("*.qm")}, QDir::Files, QDir::Name);
    for (const QString& file : files)
        languages << file.mid(prefix.size()).chopped(3);
    languages.prepend(QStringLiteral("en"));
    return languages;
}

} // namespace PCOMMON
