#include "xmlnode.h"

#include <QSet>
#include <QVarLengthArray>
#include <QXmlStreamReader>

#include <cstring>

namespace pral_matrix {

struct XmlNode::Namespaces
{
    std::shared_ptr<const Namespaces> outer;
    /** Prefix and namespace, in the order declared. */
    QVector<QPair<QString, QString>> declared;
};

namespace {

const XmlNode& nullNode()
{
    static const XmlNode node;
    return node;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool startsWith(const char* p, const char* end, const char* text)
{
    const size_t length = std::strlen(text);
    return size_t(end - p) >= length && std::memcmp(p, text, length) == 0;
}

/** The first occurrence of text in [p, end), or nullptr. */
const char* find(const char* p, const char* end, const char* text)
{
    while (p < end) {
        const void* hit = std::memchr(p, text[0], size_t(end - p));
        if (!hit)
            return nullptr;
        p = static_cast<const char*>(hit);
        if (startsWith(p, end, text))
            return p;
        ++p;
    }
    return nullptr;
}

/**
 * Counts, in one pass over the bytes, what Qt's reader would otherwise meet
 * unbounded; an empty text when the document keeps every limit, else why not.
 *
 * For a well-formed document the counts are exact. Where a document is not
 * well-formed the scan may lose its way, but only past the first fault, where
 * Qt's reader stops anyway.
 */
QString scan(const QByteArray& xml)
{
    struct Open
    {
        int declarations = 0;
        qint64 textBytes = 0;
    };
    QVarLengthArray<Open, XmlNode::MaxDepth> open;
    int elements = 0;
    int declarations = 0;
    int inScope = 0;
    const char* p = xml.constData();
    const char* const end = p + xml.size();
    auto addText = [&open](qint64 bytes) {
        if (open.isEmpty())
            return true;
        open.last().textBytes += bytes;
        return open.last().textBytes <= XmlNode::MaxTextBytes;
    };
    const QString textTooLong = QStringLiteral("a text longer than %1 bytes").arg(XmlNode::MaxTextBytes);
    while (p < end) {
        const char* lt = static_cast<const char*>(std::memchr(p, '<', size_t(end - p)));
        if (!addText((lt ? lt : end) - p))
            return textTooLong;
        if (!lt)
            break;
        p = lt + 1;
        if (p == end)
            break;
        if (*p == '/') {
            if (!open.isEmpty()) {
                inScope -= open.last().declarations;
                open.removeLast();
            }
            p = static_cast<const char*>(std::memchr(p, '>', size_t(end - p)));
            if (!p)
                break;
            ++p;
            continue;
        }
        if (*p == '?') {
            p = find(p, end, "?>");
            if (!p)
                break;
            p += 2;
            continue;
        }
        if (*p == '!') {
            if (startsWith(p, end, "!--")) {
                p = find(p + 3, end, "-->");
                if (!p)
                    break;
                p += 3;
                continue;
            }
            if (startsWith(p, end, "![CDATA[")) {
                const char* content = p + 8;
                p = find(content, end, "]]>");
                if (!p)
                    break;
                if (!addText(p - content))
                    return textTooLong;
                p += 3;
                continue;
            }
            // <!DOCTYPE, or a declaration that has no place outside one.
            return QStringLiteral("document type declarations are not accepted");
        }

        // A start tag: its name, then attributes up to > or />.
        if (++elements > XmlNode::MaxElements)
            return QStringLiteral("more than %1 elements").arg(XmlNode::MaxElements);
        if (open.size() + 1 > XmlNode::MaxDepth)
            return QStringLiteral("elements nested deeper than %1 levels").arg(XmlNode::MaxDepth);
        while (p < end && !isSpace(*p) && *p != '>' && *p != '/')
            ++p;
        int attributes = 0;
        int declared = 0;
        bool closed = false;
        bool empty = false;
        while (p < end) {
            if (isSpace(*p)) {
                ++p;
                continue;
            }
            if (*p == '>') {
                ++p;
                closed = true;
                break;
            }
            if (*p == '/') {
                ++p;
                closed = empty = true;
                break;
            }
            const char* name = p;
            while (p < end && !isSpace(*p) && *p != '=' && *p != '>' && *p != '/')
                ++p;
            const int nameLength = int(p - name);
            if (nameLength == 0) {
                // A stray '=': not well-formed; step over it so that the scan goes on.
                ++p;
                continue;
            }
            if ((nameLength == 5 && std::memcmp(name, "xmlns", 5) == 0) ||
                (nameLength > 6 && std::memcmp(name, "xmlns:", 6) == 0)) {
                if (++declared > XmlNode::MaxNamespaceDeclarationsPerElement)
                    return QStringLiteral("more than %1 namespace declarations on one element")
                        .arg(XmlNode::MaxNamespaceDeclarationsPerElement);
            } else if (++attributes > XmlNode::MaxAttributesPerElement) {
                return QStringLiteral("more than %1 attributes on one element")
                    .arg(XmlNode::MaxAttributesPerElement);
            }
            while (p < end && isSpace(*p))
                ++p;
            if (p == end || *p != '=')
                continue;
            ++p;
            while (p < end && isSpace(*p))
                ++p;
            if (p == end || (*p != '"' && *p != '\''))
                continue;
            const char* value = p + 1;
            p = static_cast<const char*>(std::memchr(value, *p, size_t(end - value)));
            if (!p)
                break;
            if (p - value > XmlNode::MaxAttributeValueBytes)
                return QStringLiteral("an attribute value longer than %1 bytes")
                    .arg(XmlNode::MaxAttributeValueBytes);
            ++p;
        }
        if ((declarations += declared) > XmlNode::MaxNamespaceDeclarations)
            return QStringLiteral("more than %1 namespace declarations")
                .arg(XmlNode::MaxNamespaceDeclarations);
        if (inScope + declared > XmlNode::MaxNamespaceDeclarationsInScope)
            return QStringLiteral("more than %1 namespace declarations in scope")
                .arg(XmlNode::MaxNamespaceDeclarationsInScope);
        if (!closed)
            break;
        if (!empty) {
            open.append(Open{declared, 0});
            inScope += declared;
        }
    }
    return QString();
}

} // namespace

const XmlNode& XmlNode::child(const QString& nsUri, const QString& local) const
{
    for (const XmlNode& c : children) {
        if (c.is(nsUri, local))
            return c;
    }
    return nullNode();
}

QVector<const XmlNode*> XmlNode::all(const QString& nsUri, const QString& local) const
{
    QVector<const XmlNode*> found;
    for (const XmlNode& c : children) {
        if (c.is(nsUri, local))
            found.append(&c);
    }
    return found;
}

int XmlNode::childInt(const QString& nsUri, const QString& local, int fallback) const
{
    bool ok = false;
    const int value = childText(nsUri, local).trimmed().toInt(&ok);
    return ok ? value : fallback;
}

int XmlNode::attributeInt(const QString& local, int fallback) const
{
    bool ok = false;
    const int value = attributes.value(local).trimmed().toInt(&ok);
    return ok ? value : fallback;
}

QString XmlNode::namespaceFor(const QString& prefix) const
{
    for (const Namespaces* s = scope.get(); s; s = s->outer.get()) {
        for (int i = s->declared.size() - 1; i >= 0; --i) {
            if (s->declared.at(i).first == prefix)
                return s->declared.at(i).second;
        }
    }
    return QString();
}

QPair<QString, QString> XmlNode::resolveQName(const QString& qname) const
{
    const int colon = qname.indexOf(QLatin1Char(':'));
    const QString prefix = colon < 0 ? QString() : qname.left(colon);
    return qMakePair(namespaceFor(prefix), qname.mid(colon + 1));
}

XmlNode XmlNode::parse(const QByteArray& xml, QString* error)
{
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return XmlNode();
    };
    if (xml.size() > MaxDocumentBytes)
        return fail(QStringLiteral("a document larger than %1 bytes").arg(MaxDocumentBytes));
    const QString beyond = scan(xml);
    if (!beyond.isEmpty())
        return fail(beyond);

    // Read as UTF-8 whatever the document declares: the scan above read the bytes that way.
    QXmlStreamReader reader(QString::fromUtf8(xml));
    // Entities beyond the five predefined ones are never expanded.
    reader.setEntityResolver(nullptr);
    XmlNode root;
    QVector<XmlNode*> path;
    // Each namespace once, however many elements live in it.
    QSet<QString> uris;
    auto shared = [&uris](const QStringRef& uri) {
        const QString text = uri.toString();
        auto it = uris.constFind(text);
        if (it == uris.constEnd())
            it = uris.insert(text);
        return *it;
    };
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::DTD:
            return fail(QStringLiteral("document type declarations are not accepted"));
        case QXmlStreamReader::EntityReference:
            return fail(QStringLiteral("undeclared entity"));
        case QXmlStreamReader::StartElement: {
            XmlNode* node = nullptr;
            if (path.isEmpty()) {
                if (!root.isNull())
                    return fail(QStringLiteral("more than one root element"));
                node = &root;
            } else {
                path.last()->children.append(XmlNode());
                node = &path.last()->children.last();
            }
            node->ns = shared(reader.namespaceUri());
            node->name = reader.name().toString();
            // Only an element that declares prefixes gets a scope of its own.
            const QXmlStreamNamespaceDeclarations declarations = reader.namespaceDeclarations();
            if (declarations.isEmpty()) {
                node->scope = path.isEmpty() ? nullptr : path.last()->scope;
            } else {
                auto own = std::make_shared<Namespaces>();
                own->outer = path.isEmpty() ? nullptr : path.last()->scope;
                own->declared.reserve(declarations.size());
                for (const QXmlStreamNamespaceDeclaration& d : declarations)
                    own->declared.append(qMakePair(d.prefix().toString(), shared(d.namespaceUri())));
                node->scope = std::move(own);
            }
            const QXmlStreamAttributes attributes = reader.attributes();
            for (const QXmlStreamAttribute& a : attributes)
                node->attributes.insert(a.name().toString(), a.value().toString());
            path.append(node);
            break;
        }
        case QXmlStreamReader::EndElement:
            path.last()->text = path.last()->text.trimmed();
            path.removeLast();
            break;
        case QXmlStreamReader::Characters:
            if (!path.isEmpty())
                path.last()->text += reader.text();
            break;
        default:
            break;
        }
    }
    if (reader.hasError())
        return fail(reader.errorString());
    if (root.isNull())
        return fail(QStringLiteral("no element"));
    return root;
}

} // namespace pral_matrix
