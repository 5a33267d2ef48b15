#include "firmwareimage.h"

#include "networktext.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QtEndian>

#include <cstring>

namespace pral_matrix {

namespace {

const QByteArray Magic = QByteArrayLiteral("TVWALLFW");
constexpr quint32 FormatVersion = 1;
constexpr int ModelOffset = 12;
constexpr int VersionOffset = 44;
constexpr int SizeOffset = 76;
constexpr int ChecksumOffset = 84;
constexpr int TextField = 32;

bool validText(const QString& text)
{
    return !text.isEmpty() && NetworkText::fits(text, TextField);
}

void putText(char* header, int offset, const QString& text)
{
    const QByteArray bytes = text.toLatin1();
    std::memcpy(header + offset, bytes.constData(), size_t(bytes.size()));
}

/** The runs of digits of a version, without their leading zeros, so that longer means greater. */
QStringList versionNumbers(const QString& version)
{
    QStringList numbers;
    QString run;
    for (const QChar c : version + QLatin1Char(' ')) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            run.append(c);
            continue;
        }
        if (run.isEmpty())
            continue;
        while (run.size() > 1 && run.startsWith(QLatin1Char('0')))
            run.remove(0, 1);
        numbers.append(run);
        run.clear();
    }
    return numbers;
}

/** Why an image is refused, in the operator's language: the checks before an upgrade show it. */
QString text(const char* why)
{
    return QCoreApplication::translate("pral_matrix::FirmwareImage", why);
}

bool fail(QString* why, const QString& text)
{
    if (why)
        *why = text;
    return false;
}

} // namespace

QByteArray FirmwareImage::build(const QString& model, const QString& version, const QByteArray& payload)
{
    if (!validText(model) || !validText(version))
        return QByteArray();
    char header[HeaderSize] = {};
    std::memcpy(header, Magic.constData(), size_t(Magic.size()));
    qToBigEndian<quint32>(FormatVersion, header + Magic.size());
    putText(header, ModelOffset, model);
    putText(header, VersionOffset, version);
    qToBigEndian<quint64>(quint64(payload.size()), header + SizeOffset);
    QCryptographicHash sha(QCryptographicHash::Sha256);
    sha.addData(header, ChecksumOffset);
    sha.addData(payload);
    const QByteArray sum = sha.result();
    std::memcpy(header + ChecksumOffset, sum.constData(), size_t(sum.size()));
    return QByteArray(header, HeaderSize) + payload;
}

int FirmwareImage::compareVersions(const QString& a, const QString& b, bool* comparable)
{
    const QStringList left = versionNumbers(a);
    const QStringList right = versionNumbers(b);
    if (comparable)
        *comparable = !left.isEmpty() && !right.isEmpty();
    if (left.isEmpty() || right.isEmpty())
        return a == b ? 0 : (a < b ? -1 : 1);
    // Numbers of any length: compared as digit strings, the longer one being the greater.
    const QString zero = QStringLiteral("0");
    for (int i = 0; i < qMax(left.size(), right.size()); ++i) {
        const QString& x = i < left.size() ? left.at(i) : zero;
        const QString& y = i < right.size() ? right.at(i) : zero;
        if (x.size() != y.size())
            return x.size() < y.size() ? -1 : 1;
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

bool FirmwareImage::read(const QString& path, FirmwareImage* image, QString* why)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return fail(why, text(QT_TRANSLATE_NOOP("pral_matrix::FirmwareImage", "the file cannot be read")));
    const QByteArray header = file.read(HeaderSize);
    if (header.size() < Magic.size() || !header.startsWith(Magic))
        return fail(why,
                    text(QT_TRANSLATE_NOOP("pral_matrix::FirmwareImage", "the file is no firmware image")));
    if (header.size() < HeaderSize)
        return fail(why, text(QT_TRANSLATE_NOOP("pral_matrix::FirmwareImage", "the image is truncated")));
    if (qFromBigEndian<quint32>(header.constData() + Magic.size()) != FormatVersion)
        return fail(why, text(QT_TRANSLATE_NOOP("pral_matrix::FirmwareImage",
                                                "the image has an unknown format version")));
    FirmwareImage read;
    if (!NetworkText::fieldText(header.constData() + ModelOffset, TextField, &read.model) ||
        !NetworkText::fieldText(header.constData() + VersionOffset, TextField, &read.version) ||
        !validText(read.model) || !validText(read.version))
        return fail(why,
                    text(QT_TRANSLATE_NOOP("pral_matrix::FirmwareImage", "the image header is damaged")));
    const quint64 size = qFromBigEndian<quint64>(header.constData() + SizeOffset);
    if (size != quint64(file.size() - HeaderSize))
        return fail(why, size > quint64(file.size() - HeaderSize)
                             ? text(QT_TRANSLATE_NOOP("pral_matrix::FirmwareImage", "the image is truncated"))
                             : text(QT_TRANSLATE_NOOP("pral_matrix::FirmwareImage",
                                                      "the image is longer than announced")));
    read.payloadSize = qint64(size);
    QCryptographicHash sha(QCryptographicHash::Sha256);
    sha.addData(header.constData(), ChecksumOffset);
    if (!sha.addData(&file) || file.error() != QFileDevice::NoError)
        return fail(why, text(QT_TRANSLATE_NOOP("pral_matrix::FirmwareImage", "the file cannot be read")));
    if (sha.result() != header.mid(ChecksumOffset, 32))
        return fail(why, text(QT_TRANSLATE_NOOP("pral_matrix::FirmwareImage",
                                                "the image's checksum does not match")));
    *image = read;
    return true;
}

} // namespace pral_matrix
