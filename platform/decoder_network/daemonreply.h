#pragma once

#include "soapenvelope.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <functional>

namespace pral_matrix {

/**
 * @brief What the daemon answers one request with: an HTTP status, the body
 * and its type, and what is to happen once it has been written.
 *
 * The factories make the SOAP answers every service handler gives: a
 * response element, an ONVIF fault (ter: subcodes, our result code in the
 * detail), and the fault that stands for a result code of the decoder model.
 * While a StandardOnly guard lives on the thread, they make them in the
 * standard vocabulary alone.
 */
struct DaemonReply
{
    int status = 200;
    QByteArray contentType = "application/soap+xml; charset=utf-8";
    QByteArray body;
    /** Runs once the reply has been written (a decoder that moves, say). */
    std::function<void()> after;
    /** Nothing is written: the connection is cut, as a transfer that breaks off is. */
    bool cut = false;
    /** Further header lines (name, value), e.g. an HTTP Digest challenge. */
    QList<QPair<QByteArray, QByteArray>> headers;

    static DaemonReply text(int status, const QByteArray& body);
    /** A response element name in ns, with content written inside it. */
    static DaemonReply soap(const QString& ns, const QString& name, const SoapEnvelope::Writer& content = {});
    /**
     * A SOAP fault. subcode is a ter: local name, or several joined by '/' for nested subcodes
     * ("InvalidArgVal/NoSource"); result (when not 0) goes into the detail.
     */
    static DaemonReply fault(int status, const QString& code, const QString& subcode, const QString& reason,
                             int result, const SoapEnvelope::Writer& detail = {});
    /** The fault a result code of the decoder model stands for. */
    static DaemonReply failed(int result);
    /** An empty response named op + "Response" on 0, otherwise failed(result). */
    static DaemonReply done(int result, const QString& ns, const QString& op);
    /** ter:ActionNotSupported, the answer to an operation a service does not offer. */
    static DaemonReply notSupported();

    /**
     * While one lives (and on is true), the replies the factories make on this thread carry nothing of ours:
     * no prefix of ours on the envelope, no result code and no detail in a fault. The daemon holds one
     * around each call to a decoder that serves the standard services only, so that every handler makes
     * its replies as always and none of them can let ours slip out.
     */
    class StandardOnly
    {
    public:
        explicit StandardOnly(bool on);
        ~StandardOnly();
        StandardOnly(const StandardOnly&) = delete;
        StandardOnly& operator=(const StandardOnly&) = delete;

    private:
        bool outer;
    };
};

} // namespace pral_matrix
