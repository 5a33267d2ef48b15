#pragma once

#include "decoder_network_global.h"

#include <QByteArray>
#include <QMap>

namespace pral_matrix {

/**
 * @brief Reads one HTTP/1.1 request from bytes as they arrive, within limits.
 *
 * A body needs a Content-Length; chunked bodies, oversized heads and bodies,
 * and anything malformed end in Failed with the status to answer.
 */
class DECODER_NETWORK_EXPORT HttpRequestParser
{
public:
    static constexpr int MaxHeadBytes = 16 * 1024;

    enum State
    {
        NeedMore,
        Complete,
        Failed,
    };

    explicit HttpRequestParser(qint64 maxBodyBytes)
        : maxBody(maxBodyBytes)
    {
    }

    State feed(const QByteArray& bytes);
    State state() const { return current; }
    /** Status to answer a Failed request with: 400, 411, 413, 431, 501 or 505. */
    int failureStatus() const { return status; }

    QByteArray method;
    QByteArray path;
    /** Lower-case names. */
    QMap<QByteArray, QByteArray> headers;
    QByteArray body;

private:
    State fail(int code);
    State parseHead(const QByteArray& head);

    qint64 maxBody;
    QByteArray buffer;
    bool headDone = false;
    qint64 contentLength = 0;
    State current = NeedMore;
    int status = 0;
};

} // namespace pral_matrix
