#include "devicekeypins.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace pral_matrix {

DeviceKeyPins::DeviceKeyPins(const QString& path)
    : file(path)
{
}

void DeviceKeyPins::loadLocked()
{
    if (loaded)
        return;
    loaded = true;
    QFile in(file);
    if (!in.exists())
        return;
    QJsonParseError error{};
    const QJsonDocument doc = in.size() <= MaxFileBytes && in.open(QIODevice::ReadOnly)
                                  ? QJsonDocument::fromJson(in.readAll(), &error)
                                  : QJsonDocument();
    in.close();
    if (!doc.isObject()) {
        // Kept aside, never overwritten: the keys in it may still be wanted.
        QFile::rename(file, file + QStringLiteral(".corrupt-") +
                                QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddhhmmss")));
        return;
    }
    const QJsonObject devices = doc.object().value(QStringLiteral("devices")).toObject();
    for (auto it = devices.begin(); it != devices.end(); ++it) {
        const QJsonObject o = it.value().toObject();
        const QByteArray key = o.value(QStringLiteral("key")).toString().toLatin1();
        if (key.startsWith("sha256//"))
            pins.insert(it.key(), Pin{key, o.value(QStringLiteral("address")).toString()});
    }
}

bool DeviceKeyPins::saveLocked()
{
    QJsonObject devices;
    for (auto it = pins.constBegin(); it != pins.constEnd(); ++it)
        devices.insert(it.key(), QJsonObject{{QStringLiteral("key"), QString::fromLatin1(it->key)},
                                             {QStringLiteral("address"), it->address}});
    QDir().mkpath(QFileInfo(file).absolutePath());
    QSaveFile out(file);
    const QByteArray bytes = QJsonDocument(QJsonObject{{QStringLiteral("devices"), devices}}).toJson();
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size() && out.commit();
}

QByteArray DeviceKeyPins::key(const QString& deviceId)
{
    QMutexLocker lock(&mutex);
    loadLocked();
    return pins.value(deviceId).key;
}

QString DeviceKeyPins::deviceAt(const QString& address)
{
    QMutexLocker lock(&mutex);
    loadLocked();
    for (auto it = pins.constBegin(); it != pins.constEnd(); ++it) {
        if (it->address == address)
            return it.key();
    }
    return QString();
}

bool DeviceKeyPins::remember(const QString& deviceId, const QByteArray& key, const QString& address)
{
    QMutexLocker lock(&mutex);
    loadLocked();
    Pin& pin = pins[deviceId];
    if (!pin.key.isEmpty() && pin.address == address)
        return true;
    // Another device is at this address now; one with the same key is this device under another id.
    for (auto it = pins.begin(); it != pins.end(); ++it) {
        if (it.key() != deviceId && it->address == address && it->key != key)
            it->address.clear();
    }
    if (pin.key.isEmpty())
        pin.key = key;
    pin.address = address;
    return saveLocked();
}

bool DeviceKeyPins::forget(const QString& deviceId)
{
    QMutexLocker lock(&mutex);
    loadLocked();
    return pins.remove(deviceId) == 0 || saveLocked();
}

} // namespace pral_matrix
