#include "daemonreply.h"

#include "matrixrecords.h"

namespace pral_matrix {

namespace {

/** Whether the replies made on this thread now are a standard-only decoder's. */
thread_local bool standardOnly = false;

SoapEnvelope::Vocabulary vocabulary()
{
    return standardOnly ? SoapEnvelope::Vocabulary::StandardOnly : SoapEnvelope::Vocabulary::WithOurs;
}

} // namespace

DaemonReply::StandardOnly::StandardOnly(bool on)
    : outer(standardOnly)
{
    standardOnly = outer || on;
}

DaemonReply::StandardOnly::~StandardOnly()
{
    standardOnly = outer;
}

DaemonReply DaemonReply::text(int status, const QByteArray& body)
{
    DaemonReply reply;
    reply.status = status;
    reply.contentType = "text/plain";
    reply.body = body;
    return reply;
}

DaemonReply DaemonReply::soap(const QString& ns, const QString& name, const SoapEnvelope::Writer& content)
{
    DaemonReply reply;
    reply.body = SoapEnvelope::build(
        [&](QXmlStreamWriter& w) {
            w.writeStartElement(ns, name);
            if (content)
                content(w);
            w.writeEndElement();
        },
        nullptr, {}, vocabulary());
    return reply;
}

DaemonReply DaemonReply::fault(int status, const QString& code, const QString& subcode, const QString& reason,
                               int result, const SoapEnvelope::Writer& detail)
{
    DaemonReply reply;
    reply.status = status;
    // A fault's detail is ours (the result code, a login refusal's counters).
    reply.body = standardOnly ? SoapEnvelope::buildFault(code, subcode, reason, 0, {}, vocabulary())
                              : SoapEnvelope::buildFault(code, subcode, reason, result, detail);
    return reply;
}

DaemonReply DaemonReply::failed(int result)
{
    switch (result) {
    case RESULT_BAD_ARGUMENT:
        return fault(400, QStringLiteral("Sender"), QStringLiteral("InvalidArgVal"),
                     QStringLiteral("Argument value invalid"), result);
    case RESULT_WRONG_PASSWORD:
    case RESULT_NOT_ACTIVATED:
    case RESULT_USER_LOCKED:
        return fault(400, QStringLiteral("Sender"), QStringLiteral("NotAuthorized"),
                     QStringLiteral("Sender not Authorized"), result);
    default:
        return fault(500, QStringLiteral("Receiver"), QStringLiteral("Action"),
                     QStringLiteral("The decoder could not carry out the request"), result);
    }
}

DaemonReply DaemonReply::done(int result, const QString& ns, const QString& op)
{
    return result == RESULT_OK ? soap(ns, op + QStringLiteral("Response")) : failed(result);
}

DaemonReply DaemonReply::notSupported()
{
    return fault(400, QStringLiteral("Sender"), QStringLiteral("ActionNotSupported"),
                 QStringLiteral("Optional Action Not Implemented"), RESULT_BAD_ARGUMENT);
}

} // namespace pral_matrix
