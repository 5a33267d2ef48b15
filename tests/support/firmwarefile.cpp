#include "firmwarefile.h"

#include "firmwareimage.h"

#include <QFile>

bool writeFirmwareFile(const QString& path, const QString& model, const QString& version)
{
    const QByteArray image = pral_matrix::FirmwareImage::build(model, version, QByteArray(4096, '\x5a'));
    QFile file(path);
    if (image.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(image) == image.size() && file.flush();
}
