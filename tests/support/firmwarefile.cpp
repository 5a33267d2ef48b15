#include "firmwarefile.h"

#include <QFile>

bool writeFirmwareFile(const QString& path, const QString& model, const QString& version)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray content = "TVWALL-DECODER-FIRMWARE " + version.toLatin1() + "\nmodel " +
                               model.toLatin1() + "\n" + QByteArray(4096, '\x5a');
    return file.write(content) == content.size();
}
