#pragma once

#include "decoder_network_global.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVector>

namespace pral_matrix {

/**
 * @brief One element of a parsed XML message: namespace, local name,
 * attributes by local name, text and children.
 *
 * parse() refuses what a peer should never send: a document type (entities
 * can expand without bound), more than MaxDepth levels or MaxNodes elements,
 * and anything that is not well-formed. The caller bounds the byte size.
 */
class DECODER_NETWORK_EXPORT XmlNode
{
public:
    static constexpr int MaxDepth = 32;
    static constexpr int MaxNodes = 20000;

    QString ns;
    QString name;
    QMap<QString, QString> attributes;
    QString text;
    QVector<XmlNode> children;
    /** Prefix -> namespace declared on this element or its ancestors; QName texts resolve through it. */
    QMap<QString, QString> scope;

    bool isNull() const { return name.isEmpty(); }
    bool is(const QString& nsUri, const QString& local) const { return ns == nsUri && name == local; }
    /** The first child with that name, or a null node. */
    const XmlNode& child(const QString& nsUri, const QString& local) const;
    QVector<const XmlNode*> all(const QString& nsUri, const QString& local) const;
    QString childText(const QString& nsUri, const QString& local) const { return child(nsUri, local).text; }
    /** fallback when the child is missing or not an integer. */
    int childInt(const QString& nsUri, const QString& local, int fallback) const;
    int attributeInt(const QString& local, int fallback) const;
    /** Namespace and local name of a "prefix:name" text, resolved in this element's scope. */
    QPair<QString, QString> resolveQName(const QString& qname) const;

    /** The root element, or a null node and *error. */
    static XmlNode parse(const QByteArray& xml, QString* error);
};

} // namespace pral_matrix
