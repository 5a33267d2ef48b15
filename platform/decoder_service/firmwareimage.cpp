#include "firmwareimage.h"

#include <QFile>

namespace pral_matrix {

namespace {

const QByteArray FirmwareMagic = QByteArrayLiteral("TVWALL-DECODER-FIRMWARE ");

} // namespace

bool FirmwareImage::readVersion(const QString& path, QString* version)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray firstLine = file.readLine(256).trimmed();
    if (!firstLine.startsWith(FirmwareMagic) || firstLine.size() <= FirmwareMagic.size())
        return false;
    *version = QString::fromLatin1(firstLine.mid(FirmwareMagic.size()));
    return true;
}

} // namespace pral_matrix
