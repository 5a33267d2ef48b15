#include "logpackage.h"

#include "atomicfile.h"

#include <cstring>

namespace pral_matrix {

namespace {

// A log package is a gzip-compressed tar archive; building both by hand
// keeps the service free of archive libraries.
quint32 crc32(const QByteArray& data)
{
    static quint32 table[256];
    static const bool built = [] {
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        return true;
    }();
    Q_UNUSED(built)
    quint32 crc = 0xFFFFFFFFu;
    for (char ch : data)
        crc = table[(crc ^ quint8(ch)) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

void appendLe32(QByteArray* out, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        out->append(char((value >> (8 * i)) & 0xFF));
}

QByteArray gzip(const QByteArray& data)
{
    // qCompress gives a 4-byte size, a 2-byte zlib header, raw deflate and a
    // 4-byte Adler-32; gzip wants the raw deflate between its own header and trailer.
    const QByteArray zlib = qCompress(data, 9);
    QByteArray out = QByteArray::fromHex("1f8b08000000000002ff");
    out.append(zlib.mid(6, zlib.size() - 10));
    appendLe32(&out, crc32(data));
    appendLe32(&out, quint32(data.size()));
    return out;
}

void appendTarEntry(QByteArray* tar, const QString& name, const QByteArray& content, qint64 mtime)
{
    QByteArray header(512, '\0');
    auto put = [&header](int offset, const QByteArray& value) {
        std::memcpy(header.data() + offset, value.constData(), size_t(value.size()));
    };
    put(0, name.toLatin1().left(99));
    put(100, QByteArrayLiteral("0000644"));
    put(108, QByteArrayLiteral("0000000"));
    put(116, QByteArrayLiteral("0000000"));
    put(124, QByteArray::number(content.size(), 8).rightJustified(11, '0'));
    put(136, QByteArray::number(mtime, 8).rightJustified(11, '0'));
    put(148, QByteArray(8, ' '));
    header[156] = '0';
    put(257, QByteArrayLiteral("ustar"));
    put(263, QByteArrayLiteral("00"));
    unsigned sum = 0;
    for (char c : qAsConst(header))
        sum += quint8(c);
    put(148, QByteArray::number(sum, 8).rightJustified(6, '0') + '\0' + ' ');
    tar->append(header);
    tar->append(content);
    tar->append(QByteArray((512 - content.size() % 512) % 512, '\0'));
}

} // namespace

bool LogPackage::write(const QString& path, const QList<Entry>& files, qint64 mtime)
{
    QByteArray tar;
    for (const Entry& file : files)
        appendTarEntry(&tar, file.first, file.second, mtime);
    tar.append(QByteArray(1024, '\0'));
    return AtomicFile::write(path, gzip(tar));
}

} // namespace pral_matrix
