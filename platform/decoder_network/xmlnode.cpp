#include "xmlnode.h"

#include <QXmlStreamReader>

namespace pral_matrix {

namespace {

const XmlNode& nullNode()
{
    static const XmlNode node;
    return node;
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

QPair<QString, QString> XmlNode::resolveQName(const QString& qname) const
{
    const int colon = qname.indexOf(QLatin1Char(':'));
    const QString prefix = colon < 0 ? QString() : qname.left(colon);
    return qMakePair(scope.value(prefix), qname.mid(colon + 1));
}

XmlNode XmlNode::parse(const QByteArray& xml, QString* error)
{
    QXmlStreamReader reader(xml);
    // Entities beyond the five predefined ones are never expanded.
    reader.setEntityResolver(nullptr);
    XmlNode root;
    QVector<XmlNode*> path;
    int nodes = 0;
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return XmlNode();
    };
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::DTD:
            return fail(QStringLiteral("document type declarations are not accepted"));
        case QXmlStreamReader::EntityReference:
            return fail(QStringLiteral("undeclared entity"));
        case QXmlStreamReader::StartElement: {
            if (path.size() >= MaxDepth)
                return fail(QStringLiteral("elements nested too deep"));
            if (++nodes > MaxNodes)
                return fail(QStringLiteral("too many elements"));
            XmlNode* node = nullptr;
            if (path.isEmpty()) {
                if (!root.isNull())
                    return fail(QStringLiteral("more than one root element"));
                node = &root;
            } else {
                path.last()->children.append(XmlNode());
                node = &path.last()->children.last();
            }
            node->ns = reader.namespaceUri().toString();
            node->name = reader.name().toString();
            node->scope = path.isEmpty() ? QMap<QString, QString>() : path.last()->scope;
            const QXmlStreamNamespaceDeclarations declarations = reader.namespaceDeclarations();
            for (const QXmlStreamNamespaceDeclaration& d : declarations)
                node->scope.insert(d.prefix().toString(), d.namespaceUri().toString());
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
