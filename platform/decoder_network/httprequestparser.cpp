#include "httprequestparser.h"

namespace pral_matrix {

HttpRequestParser::HttpRequestParser(Admit admit, int requestTimeoutMs, int headTimeoutMs)
    : admit(std::move(admit))
    , requestDeadline(requestTimeoutMs)
    , headDeadline(qMin(headTimeoutMs, requestTimeoutMs))
{
}

HttpRequestParser::State HttpRequestParser::fail(int code)
{
    status = code;
    current = Failed;
    buffer = QByteArray();
    body = QByteArray();
    return current;
}

HttpRequestParser::State HttpRequestParser::checkDeadline()
{
    if (current == NeedMore && deadline().hasExpired())
        return fail(408);
    return current;
}

qint64 HttpRequestParser::remainingMs() const
{
    return current == NeedMore ? qMax<qint64>(0, deadline().remainingTime()) : 0;
}

HttpRequestParser::State HttpRequestParser::feed(const QByteArray& bytes)
{
    if (checkDeadline() != NeedMore)
        return current;
    if (!headDone) {
        // Only what came since the last look can complete the blank line.
        const int from = qMax(0, buffer.size() - 3);
        buffer.append(bytes);
        const int end = buffer.indexOf("\r\n\r\n", from);
        if (end < 0) {
            // Everything so far is head (its request line and header lines): a flood of short lines is
            // refused before it fills the head.
            headLines += bytes.count('\n');
            return buffer.size() > MaxHeadBytes || headLines > 1 + MaxHeaderLines ? fail(431) : NeedMore;
        }
        if (end > MaxHeadBytes)
            return fail(431);
        if (parseHead(buffer.left(end + 2)) == Failed)
            return current;
        buffer.remove(0, end + 4);
        headDone = true;
    } else {
        if (buffer.size() + qint64(bytes.size()) > contentLength)
            return fail(400);
        buffer.append(bytes);
    }
    if (buffer.size() > contentLength)
        return fail(400);
    if (buffer.size() < contentLength)
        return NeedMore;
    body = buffer;
    buffer = QByteArray();
    current = Complete;
    return current;
}

HttpRequestParser::State HttpRequestParser::parseHead(const QByteArray& head)
{
    // Every line of head ends in CRLF, so the split leaves an empty last part.
    QList<QByteArray> lines = head.split('\n');
    lines.removeLast();
    if (lines.size() - 1 > MaxHeaderLines)
        return fail(431);
    const QList<QByteArray> request = lines.first().trimmed().split(' ');
    if (request.size() != 3 || request.at(0).isEmpty() || !request.at(1).startsWith('/'))
        return fail(400);
    if (request.at(2) != "HTTP/1.1" && request.at(2) != "HTTP/1.0")
        return fail(505);
    method = request.at(0);
    path = request.at(1);
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i);
        if (!line.endsWith('\r'))
            return fail(400);
        const int colon = line.indexOf(':');
        if (colon <= 0)
            return fail(400);
        const QByteArray name = line.left(colon).trimmed().toLower();
        if (name.isEmpty() || name.contains(' ') || headers.contains(name))
            return fail(400);
        headers.insert(name, line.mid(colon + 1).trimmed());
    }
    if (headers.contains("transfer-encoding"))
        return fail(501);
    if (headers.contains("content-length")) {
        bool ok = false;
        const QByteArray text = headers.value("content-length");
        contentLength = text.toLongLong(&ok);
        if (!ok || contentLength < 0 || text.startsWith('+'))
            return fail(400);
    } else if (method == "POST" || method == "PUT") {
        return fail(411);
    }
    const Admission admission = admit ? admit(*this) : Admission();
    if (admission.refuseStatus != 0)
        return fail(admission.refuseStatus);
    maxBody = admission.maxBodyBytes;
    if (contentLength > maxBody)
        return fail(413);
    return NeedMore;
}

} // namespace pral_matrix
