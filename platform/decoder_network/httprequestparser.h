#pragma once

#include "decoder_network_global.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QMap>

#include <functional>

namespace pral_matrix {

/**
 * @brief Reads one HTTP/1.1 request from bytes as they arrive, within limits.
 *
 * The head is bounded in bytes and lines and must arrive within
 * headTimeoutMs; the whole request within requestTimeoutMs, counted from
 * construction however the bytes trickle in. Once the head is read, the
 * owner's admission decides from method, path and headers how large a body
 * this request may have, or refuses it, before a byte of the body is kept.
 * A body needs a Content-Length; chunked bodies, oversized heads and bodies,
 * late requests and anything malformed end in Failed with the status to
 * answer.
 */
class DECODER_NETWORK_EXPORT HttpRequestParser
{
public:
    /** A SOAP client's head is a few hundred bytes; 16 KiB leaves room for long paths and proxies. */
    static constexpr int MaxHeadBytes = 16 * 1024;
    /** A SOAP client sends five to ten header lines; proxies add a few. */
    static constexpr int MaxHeaderLines = 64;
    /** Clients write the head at once and a LAN delivers it in milliseconds: 3 s is slack for a busy one. */
    static constexpr int HeadTimeoutMs = 3000;

    enum State
    {
        NeedMore,
        Complete,
        Failed,
    };

    /** What a request may bring, decided from its head. */
    struct Admission
    {
        qint64 maxBodyBytes = 0;
        /** Not 0: the request is refused with this status before its body is read. */
        int refuseStatus = 0;
    };
    /** Called once, when the head has been read (method, path and headers are set). */
    using Admit = std::function<Admission(const HttpRequestParser&)>;

    HttpRequestParser(Admit admit, int requestTimeoutMs, int headTimeoutMs = HeadTimeoutMs);

    State feed(const QByteArray& bytes);
    /** Fails the request with 408 when its deadline has passed; for a connection that went quiet. */
    State checkDeadline();
    /** Milliseconds until the deadline that applies now (the head's, then the request's); 0 once passed. */
    qint64 remainingMs() const;
    State state() const { return current; }
    /** Status to answer a Failed request with: 400, 404, 405, 408, 411, 413, 431, 501, 503 or 505. */
    int failureStatus() const { return status; }
    /** The body's allowance from the admission, once the head has been read. */
    qint64 maxBodyBytes() const { return maxBody; }

    QByteArray method;
    QByteArray path;
    /** Lower-case names. */
    QMap<QByteArray, QByteArray> headers;
    qint64 contentLength = 0;
    QByteArray body;

private:
    State fail(int code);
    State parseHead(const QByteArray& head);
    const QDeadlineTimer& deadline() const { return headDone ? requestDeadline : headDeadline; }

    Admit admit;
    QDeadlineTimer requestDeadline;
    QDeadlineTimer headDeadline;
    qint64 maxBody = 0;
    QByteArray buffer;
    int headLines = 0;
    bool headDone = false;
    State current = NeedMore;
    int status = 0;
};

} // namespace pral_matrix
