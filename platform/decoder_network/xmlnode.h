#pragma once

#include "decoder_network_global.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVector>

#include <memory>

namespace pral_matrix {

/**
 * @brief One element of a parsed XML message: namespace, local name,
 * attributes by local name, text and children.
 *
 * parse() reads bytes from a peer, so it refuses, before Qt's reader sees
 * them, documents beyond the limits below: a cheap linear scan counts
 * elements, depth, attributes and namespace declarations per start tag and
 * the bytes of each text and attribute value. What passes is read by
 * QXmlStreamReader, whose work is then bounded too (it checks duplicate
 * attributes pairwise and looks each prefix up through every declaration in
 * scope). A document type (entities can expand without bound) and anything
 * not well-formed are refused as well. Memory is linear in the input: the
 * namespaces in scope are shared by the elements below a declaration, not
 * copied into each.
 *
 * Every limit is in bytes of the document or in counts; a text or value of N
 * bytes holds at most N characters once read.
 */
class DECODER_NETWORK_EXPORT XmlNode
{
public:
    /** The largest reply the client takes (8 MiB); the daemon's request limit is smaller and comes first. */
    static constexpr int MaxDocumentBytes = 8 * 1024 * 1024;
    /** ONVIF's deepest messages (an interface's IPv6 configuration in an envelope) nest about ten levels. */
    static constexpr int MaxDepth = 32;
    /** Our longest list is a log read line by line, one element a line. */
    static constexpr int MaxElements = 20000;
    /** ONVIF elements carry a handful (token, xsi:type, mustUnderstand); Qt compares them pairwise. */
    static constexpr int MaxAttributesPerElement = 64;
    /** gSOAP devices declare their whole table, 30 to 60 prefixes, on the Envelope: twice that, with room. */
    static constexpr int MaxNamespaceDeclarationsPerElement = 128;
    /** Qt looks every prefix up through the declarations in scope: this bounds each look-up. */
    static constexpr int MaxNamespaceDeclarationsInScope = 256;
    /** Stacks that repeat xmlns on each element of a long list stay far below; bounds the scopes kept. */
    static constexpr int MaxNamespaceDeclarations = 4096;
    /** ONVIF's attribute values are tokens, names and URIs, a few dozen bytes. */
    static constexpr int MaxAttributeValueBytes = 16 * 1024;
    /** A system log of some 50,000 lines in one text; longer logs travel as a file (the log package). */
    static constexpr int MaxTextBytes = 4 * 1024 * 1024;

    /** The prefixes declared on one element, and the scope around it. */
    struct Namespaces;

    QString ns;
    QString name;
    QMap<QString, QString> attributes;
    QString text;
    QVector<XmlNode> children;
    /** Prefix -> namespace in this element's scope, shared with its neighbours; QName texts resolve through
     * it. */
    std::shared_ptr<const Namespaces> scope;

    bool isNull() const { return name.isEmpty(); }
    bool is(const QString& nsUri, const QString& local) const { return ns == nsUri && name == local; }
    /** The first child with that name, or a null node. */
    const XmlNode& child(const QString& nsUri, const QString& local) const;
    QVector<const XmlNode*> all(const QString& nsUri, const QString& local) const;
    QString childText(const QString& nsUri, const QString& local) const { return child(nsUri, local).text; }
    /** fallback when the child is missing or not an integer. */
    int childInt(const QString& nsUri, const QString& local, int fallback) const;
    int attributeInt(const QString& local, int fallback) const;
    /** The namespace bound to prefix ("" for the default namespace) here, or an empty text. */
    QString namespaceFor(const QString& prefix) const;
    /** Namespace and local name of a "prefix:name" text, resolved in this element's scope. */
    QPair<QString, QString> resolveQName(const QString& qname) const;

    /** The root element, or a null node and *error. */
    static XmlNode parse(const QByteArray& xml, QString* error);
};

} // namespace pral_matrix
