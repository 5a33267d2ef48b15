#include "networktext.h"

#include <arpa/inet.h>

namespace pral_matrix {

bool NetworkText::isIpv4(const QString& text, quint32* bits)
{
    if (!fits(text, 16))
        return false;
    in_addr address{};
    if (inet_pton(AF_INET, text.toLatin1().constData(), &address) != 1)
        return false;
    if (bits)
        *bits = ntohl(address.s_addr);
    return true;
}

bool NetworkText::isIpv6(const QString& text)
{
    if (!fits(text, 48))
        return false;
    in6_addr address{};
    return inet_pton(AF_INET6, text.toLatin1().constData(), &address) == 1;
}

bool NetworkText::isNetmask(const QString& text)
{
    quint32 bits = 0;
    if (!isIpv4(text, &bits))
        return false;
    // A mask is ones followed by zeros: inverting and adding one gives a power of two.
    const quint32 inverted = ~bits;
    return (inverted & (inverted + 1)) == 0;
}

bool NetworkText::fieldText(const char* field, size_t size, QString* text)
{
    const size_t length = qstrnlen(field, uint(size));
    if (length >= size)
        return false;
    *text = QString::fromLatin1(field, int(length));
    return true;
}

bool NetworkText::fits(const QString& text, int size)
{
    if (text.size() >= size)
        return false;
    for (const QChar c : text) {
        // Latin-1 without NUL or control characters: what a C field can carry back unchanged.
        if (c.unicode() > 0xFF || c.unicode() < 0x20 || c.unicode() == 0x7F)
            return false;
    }
    return true;
}

} // namespace pral_matrix
