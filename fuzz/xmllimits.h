#pragma once

// What both network fuzz targets check of the XML reader: every document it accepted keeps every limit the
// reader promises, and a well-formed document made from a small program is accepted exactly when it keeps
// them. An accepted document is read again with a plain QXmlStreamReader; a made one is counted as it is
// written. Both count apart from the reader's own scan, so a scan that loses its way on some input, or
// counts one too many or too few, shows here.

#include "xmlnode.h"

#include <QVector>
#include <QXmlStreamReader>

#include <cstdio>
#include <cstdlib>

namespace fuzzcheck {

[[noreturn]] inline void fail(const char* target, const char* what)
{
    std::fprintf(stderr, "%s: %s\n", target, what);
    std::abort();
}

inline int treeDepth(const pral_matrix::XmlNode& node)
{
    int deepest = 0;
    for (const pral_matrix::XmlNode& c : node.children)
        deepest = qMax(deepest, treeDepth(c));
    return deepest + 1;
}

inline int treeElements(const pral_matrix::XmlNode& node)
{
    int count = 1;
    for (const pral_matrix::XmlNode& c : node.children)
        count += treeElements(c);
    return count;
}

/**
 * Reads xml with a plain QXmlStreamReader and tells which limit of the XML reader it breaks, or nullptr
 * when it keeps them all; *wellFormed says whether Qt read it to the end.
 */
inline const char* brokenLimit(const QByteArray& xml, bool* wellFormed)
{
    using X = pral_matrix::XmlNode;
    *wellFormed = true;
    if (xml.size() > X::MaxDocumentBytes)
        return "the size limit";
    QXmlStreamReader reader(QString::fromUtf8(xml));
    struct Open
    {
        int declarations = 0;
        int text = 0;
    };
    QVector<Open> open;
    int elements = 0;
    int inScope = 0;
    int declarations = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            if (++elements > X::MaxElements)
                return "the element limit";
            const int declared = reader.namespaceDeclarations().size();
            if (declared > X::MaxNamespaceDeclarationsPerElement)
                return "the limit of namespace declarations on one element";
            if ((declarations += declared) > X::MaxNamespaceDeclarations)
                return "the limit of namespace declarations in a document";
            if (inScope + declared > X::MaxNamespaceDeclarationsInScope)
                return "the limit of namespace declarations in scope";
            const QXmlStreamAttributes attributes = reader.attributes();
            if (attributes.size() > X::MaxAttributesPerElement)
                return "the limit of attributes on one element";
            for (const QXmlStreamAttribute& a : attributes) {
                if (a.value().size() > X::MaxAttributeValueBytes)
                    return "the limit of an attribute value";
            }
            open.append(Open{declared, 0});
            inScope += declared;
            if (open.size() > X::MaxDepth)
                return "the depth limit";
            break;
        }
        case QXmlStreamReader::EndElement:
            inScope -= open.last().declarations;
            open.removeLast();
            break;
        case QXmlStreamReader::Characters:
            if (!open.isEmpty() && (open.last().text += reader.text().size()) > X::MaxTextBytes)
                return "the text limit";
            break;
        default:
            break;
        }
    }
    *wellFormed = !reader.hasError();
    return nullptr;
}

/** Aborts when xml, which XmlNode::parse accepted as root, breaks one of the reader's limits. */
inline void acceptedKeepsLimits(const char* target, const QByteArray& xml, const pral_matrix::XmlNode& root)
{
    using X = pral_matrix::XmlNode;
    if (treeDepth(root) > X::MaxDepth)
        fail(target, "accepted a tree deeper than the limit");
    if (treeElements(root) > X::MaxElements)
        fail(target, "accepted a tree with more elements than the limit");
    bool wellFormed = true;
    if (const char* limit = brokenLimit(xml, &wellFormed)) {
        std::fprintf(stderr, "%s: accepted a document beyond %s\n", target, limit);
        std::abort();
    }
    if (!wellFormed)
        fail(target, "accepted a document that Qt's reader finds not well-formed");
}

/** A few operations reach any limit; longer programs would only make every run slow. */
constexpr int MaxProgramBytes = 96;

/** A generated document and the first limit it breaks (nullptr when it keeps them all). */
struct Generated
{
    QByteArray xml;
    const char* broken = nullptr;
};

/**
 * Builds a well-formed document from a small program, so that the fuzzer reaches every count limit with a
 * few bytes, and counts as it goes which limit the document breaks: each operation is a byte, most take the
 * next byte n as a count.
 *   0 open an element, with the attributes and declarations gathered so far   1 close one
 *   2 n more attributes for the next element   3 n more prefixes it declares (distinct)
 *   4 n more declarations of prefixes it redeclares   5 n * 16 bytes of text   6 the same in a CDATA section
 *   7 open n elements at once   8 n * 10 empty elements, each with what is gathered   9 a comment
 * Attribute names and prefixes are distinct within an element, so the document is well-formed and the reader
 * must accept it exactly when it keeps the limits. Documents stop growing at MaxGeneratedBytes, which reaches
 * every count limit while each run stays quick; the size and text limits are left to the other inputs.
 */
inline Generated generate(const QByteArray& program)
{
    using X = pral_matrix::XmlNode;
    constexpr int MaxGeneratedBytes = 96 * 1024;
    Generated g;
    QByteArray& xml = g.xml;
    auto breaks = [&g](bool beyond, const char* limit) {
        if (beyond && !g.broken)
            g.broken = limit;
    };
    struct Open
    {
        int declarations = 0;
        int text = 0;
    };
    QVector<Open> open{Open()};
    xml = "<r>";
    int elements = 1;
    int inScope = 0;
    int declarationsInAll = 0;
    int attributes = 0;
    int declared = 0;
    int redeclared = 0;
    // A start tag with the attributes and declarations gathered so far.
    auto tag = [&](const char* name, bool empty) {
        QByteArray t = "<" + QByteArray(name);
        for (int i = 0; i < attributes; ++i)
            t += " a" + QByteArray::number(i) + "='1'";
        for (int i = 0; i < declared; ++i)
            t += " xmlns:p" + QByteArray::number(i) + "='u:" + QByteArray::number(i) + "'";
        for (int i = 0; i < redeclared; ++i)
            t += " xmlns:q" + QByteArray::number(i) + "='v'";
        return t + (empty ? "/>" : ">");
    };
    // Counts one element with what was gathered, as the reader will meet it.
    auto count = [&](bool empty) {
        const int own = declared + redeclared;
        breaks(++elements > X::MaxElements, "the element limit");
        breaks(open.size() + 1 > X::MaxDepth, "the depth limit");
        breaks(attributes > X::MaxAttributesPerElement, "the limit of attributes on one element");
        breaks(own > X::MaxNamespaceDeclarationsPerElement,
               "the limit of namespace declarations on one element");
        breaks((declarationsInAll += own) > X::MaxNamespaceDeclarations,
               "the limit of namespace declarations in a document");
        breaks(inScope + own > X::MaxNamespaceDeclarationsInScope,
               "the limit of namespace declarations in scope");
        if (!empty) {
            open.append(Open{own, 0});
            inScope += own;
        }
    };
    auto openOne = [&]() {
        xml += tag("e", false);
        count(false);
        attributes = declared = redeclared = 0;
    };
    auto text = [&](int bytes) {
        breaks((open.last().text += bytes) > X::MaxTextBytes, "the text limit");
    };
    const int length = qMin(program.size(), MaxProgramBytes);
    for (int at = 0; at < length && xml.size() < MaxGeneratedBytes; ++at) {
        const int op = quint8(program.at(at)) % 10;
        const int n = at + 1 < length ? quint8(program.at(at + 1)) : 0;
        switch (op) {
        case 0:
            openOne();
            break;
        case 1:
            if (open.size() > 1) {
                xml += "</e>";
                inScope -= open.last().declarations;
                open.removeLast();
            }
            break;
        case 2:
            attributes += n;
            ++at;
            break;
        case 3:
            declared += n;
            ++at;
            break;
        case 4:
            redeclared += n;
            ++at;
            break;
        case 5:
            xml += QByteArray(n * 16, 't');
            text(n * 16);
            ++at;
            break;
        case 6:
            xml += "<![CDATA[" + QByteArray(n * 16, 'c') + "]]>";
            text(n * 16);
            ++at;
            break;
        case 7:
            for (int i = 0; i < n; ++i)
                openOne();
            ++at;
            break;
        case 8: {
            // The same tag each time: what was gathered goes on every one of them.
            const QByteArray empty = tag("f", true);
            for (int i = 0; i < n * 10 && xml.size() < MaxGeneratedBytes; ++i) {
                xml += empty;
                count(true);
            }
            attributes = declared = redeclared = 0;
            ++at;
            break;
        }
        default:
            xml += "<!-- a > b -->";
            break;
        }
    }
    for (int i = open.size() - 1; i > 0; --i)
        xml += "</e>";
    xml += "</r>";
    return g;
}

/** Aborts unless the XML reader accepts the document of program exactly when it keeps every limit. */
inline void holdsExactly(const char* target, const QByteArray& program)
{
    const Generated g = generate(program);
    QString error;
    const pral_matrix::XmlNode root = pral_matrix::XmlNode::parse(g.xml, &error);
    if (!root.isNull() && g.broken) {
        std::fprintf(stderr, "%s: accepted a document beyond %s\n", target, g.broken);
        std::abort();
    }
    if (root.isNull() && !g.broken) {
        std::fprintf(stderr, "%s: refused a document within every limit: %s\n", target, qPrintable(error));
        std::abort();
    }
}

/**
 * holdsExactly for program, and again with the count of its last counting operation one larger: a program
 * at a limit (the seeds hold one for each) is then also tried one beyond it, where an off-by-one shows.
 */
inline void limitsHoldExactly(const char* target, const QByteArray& program)
{
    holdsExactly(target, program);
    int last = -1;
    const int length = qMin(program.size(), MaxProgramBytes);
    for (int at = 0; at + 1 < length; ++at) {
        const int op = quint8(program.at(at)) % 10;
        if (op != 0 && op != 1 && op != 9) {
            last = at + 1;
            ++at;
        }
    }
    if (last < 0 || quint8(program.at(last)) == 255)
        return;
    QByteArray beyond = program;
    beyond[last] = char(quint8(program.at(last)) + 1);
    holdsExactly(target, beyond);
}

} // namespace fuzzcheck
