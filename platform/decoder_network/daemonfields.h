#pragma once

#include <QHostAddress>
#include <QString>

#include <cstring>

namespace pral_matrix {

/** The fixed-size character fields of the records, as the daemon fills and reads them. */
namespace DaemonFields {

inline QString text(const char* field, size_t size)
{
    return QString::fromLatin1(field, int(qstrnlen(field, uint(size))));
}

template <size_t N>
void put(char (&field)[N], const QString& text)
{
    const QByteArray bytes = text.toLatin1().left(int(N) - 1);
    std::memset(field, 0, N);
    std::memcpy(field, bytes.constData(), size_t(bytes.size()));
}

/** The daemon serves IPv4 loopback addresses only. */
inline bool isLoopback(const QString& ip)
{
    QHostAddress address;
    return address.setAddress(ip) && address.protocol() == QAbstractSocket::IPv4Protocol &&
           address.isLoopback();
}

} // namespace DaemonFields

} // namespace pral_matrix
