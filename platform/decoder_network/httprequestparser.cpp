#include "httprequestparser.h"

namespace pral_matrix {

HttpRequestParser::State HttpRequestParser::fail(int code)
{
    status = code;
    current = Failed;
    buffer.clear();
    return current;
}

HttpRequestParser::State HttpRequestParser::feed(const QByteArray& bytes)
{
    if (current != NeedMore)
        return current;
    buffer.append(bytes);
    if (!headDone) {
        const int end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return buffer.size() > MaxHeadBytes ? fail(431) : NeedMore;
        if (end > MaxHeadBytes)
            return fail(431);
        if (parseHead(buffer.left(end + 2)) == Failed)
            return current;
        buffer.remove(0, end + 4);
        headDone = true;
    }
    if (buffer.size() > contentLength)
        return fail(400);
    if (buffer.size() < contentLength)
        return NeedMore;
    body = buffer;
    buffer.clear();
    current = Complete;
    return current;
}

HttpRequestParser::State HttpRequestParser::parseHead(const QByteArray& head)
{
    // Every line of head ends in CRLF, so the split leaves an empty last part.
    QList<QByteArray> lines = head.split('\n');
    lines.removeLast();
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
        if (contentLength > maxBody)
            return fail(413);
    } else if (method == "POST" || method == "PUT") {
        return fail(411);
    }
    return NeedMore;
}

} // namespace pral_matrix
