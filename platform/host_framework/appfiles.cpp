#include "appfiles.h"

#include <QCoreApplication>
#include <QDir>

namespace PCOMMON {

QString AppFiles::sharedDirectory()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/tvwall"));
}

QString AppFiles::translationsDirectory()
{
    return sharedDirectory() + QStringLiteral("/translations");
}

QString AppFiles::testPicturesDirectory()
{
    return sharedDirectory() + QStringLiteral("/resources");
}

} // namespace PCOMMON
