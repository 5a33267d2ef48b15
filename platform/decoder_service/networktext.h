#pragma once

#include "decoder_service_global.h"

#include <QString>

#include <cstring>

namespace pral_matrix {

/**
 * @brief Checks and copies of the address texts that decoders exchange in
 * fixed NUL-terminated fields.
 */
class DECODER_SERVICE_EXPORT NetworkText
{
public:
    /** Dotted-decimal IPv4 address; 15 characters at most. */
    static bool isIpv4(const QString& text, quint32* bits = nullptr);
    static bool isIpv6(const QString& text);
    /** An IPv4 address made of ones followed by zeros. */
    static bool isNetmask(const QString& text);

    /** Text of a NUL-terminated field; false when the field holds no NUL at all. */
    static bool fieldText(const char* field, size_t size, QString* text);

    /** text must fit (see fits): a longer one would become another, still valid, address. */
    template <size_t N>
    static void putField(char (&field)[N], const QString& text)
    {
        const QByteArray bytes = text.toLatin1().left(int(N) - 1);
        std::memset(field, 0, N);
        std::memcpy(field, bytes.constData(), size_t(bytes.size()));
    }

    /** Whether text fits a field of size bytes together with its NUL, in Latin-1. */
    static bool fits(const QString& text, int size);
};

} // namespace pral_matrix
