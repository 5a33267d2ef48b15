#include "displaycodec.h"

#include "onvifcodec.h"
#include "onvifnamespaces.h"
#include "soapenvelope.h"

#include <cmath>

namespace pral_matrix {

namespace {

using S = SoapEnvelope;

const QString PanePrefix = QStringLiteral("Pane-");

/** Units of the wall per unit of ONVIF's coordinates (which span 2). */
constexpr double UnitsPerCoordinate = DisplayCodec::WallUnits / 2.0;

QString number(double value)
{
    return QString::number(value, 'g', 9);
}

bool readCoordinate(const XmlNode& area, const QString& name, double* value)
{
    bool ok = false;
    *value = area.attributes.value(name).toDouble(&ok);
    return ok && std::isfinite(*value) && *value >= -1.0 && *value <= 1.0;
}

} // namespace

QString DisplayCodec::windowOutput()
{
    return OnvifCodec::outputToken(0, 0);
}

QString DisplayCodec::paneToken(int position)
{
    return PanePrefix + QString::number(position);
}

int DisplayCodec::panePosition(const QString& token)
{
    if (!token.startsWith(PanePrefix))
        return 0;
    bool ok = false;
    const int position = token.mid(PanePrefix.size()).toInt(&ok);
    return ok && position >= 1 && position <= MaxPanes ? position : 0;
}

DisplayCodec::PaneLayout DisplayCodec::paneLayout(const QString& pane, const MatrixWindowInfo& window)
{
    PaneLayout layout;
    layout.pane = pane;
    layout.left = window.x / UnitsPerCoordinate - 1.0;
    layout.right = (qint64(window.x) + window.width) / UnitsPerCoordinate - 1.0;
    layout.top = 1.0 - window.y / UnitsPerCoordinate;
    layout.bottom = 1.0 - (qint64(window.y) + window.height) / UnitsPerCoordinate;
    return layout;
}

bool DisplayCodec::readArea(const PaneLayout& layout, MatrixWindowInfo* window)
{
    if (!(layout.left >= -1.0 && layout.right <= 1.0 && layout.left < layout.right && layout.bottom >= -1.0 &&
          layout.top <= 1.0 && layout.bottom < layout.top))
        return false;
    const auto units = [](double coordinate) {
        return qint64(std::lround((coordinate + 1.0) * UnitsPerCoordinate));
    };
    const qint64 left = units(layout.left);
    const qint64 right = units(layout.right);
    const qint64 top = WallUnits - units(layout.top);
    const qint64 bottom = WallUnits - units(layout.bottom);
    if (right <= left || bottom <= top)
        return false;
    window->x = int32_t(left);
    window->y = int32_t(top);
    window->width = int32_t(right - left);
    window->height = int32_t(bottom - top);
    return true;
}

void DisplayCodec::writeLayout(QXmlStreamWriter& w, const QVector<PaneLayout>& panes)
{
    for (const PaneLayout& p : panes) {
        w.writeStartElement(Ns::Schema, QStringLiteral("PaneLayout"));
        S::writeText(w, Ns::Schema, QStringLiteral("Pane"), p.pane);
        w.writeStartElement(Ns::Schema, QStringLiteral("Area"));
        w.writeAttribute(QStringLiteral("bottom"), number(p.bottom));
        w.writeAttribute(QStringLiteral("top"), number(p.top));
        w.writeAttribute(QStringLiteral("right"), number(p.right));
        w.writeAttribute(QStringLiteral("left"), number(p.left));
        w.writeEndElement();
        w.writeEndElement();
    }
}

bool DisplayCodec::readLayout(const XmlNode& layout, QVector<PaneLayout>* panes, QString* why)
{
    panes->clear();
    const QVector<const XmlNode*> all = layout.all(Ns::Schema, QStringLiteral("PaneLayout"));
    if (all.size() > MaxPanes) {
        *why = tr("%1 panes (at most %2)").arg(all.size()).arg(MaxPanes);
        return false;
    }
    for (const XmlNode* node : all) {
        PaneLayout p;
        p.pane = node->childText(Ns::Schema, QStringLiteral("Pane")).trimmed();
        const XmlNode& area = node->child(Ns::Schema, QStringLiteral("Area"));
        if (p.pane.isEmpty() || area.isNull() || !readCoordinate(area, QStringLiteral("left"), &p.left) ||
            !readCoordinate(area, QStringLiteral("right"), &p.right) ||
            !readCoordinate(area, QStringLiteral("top"), &p.top) ||
            !readCoordinate(area, QStringLiteral("bottom"), &p.bottom) || p.left >= p.right ||
            p.bottom >= p.top) {
            *why = tr("the area of the pane \"%1\"").arg(p.pane.left(40));
            return false;
        }
        panes->append(p);
    }
    return true;
}

void DisplayCodec::writePaneConfiguration(QXmlStreamWriter& w, const QString& ns, const QString& name,
                                          const PaneConfiguration& pane)
{
    w.writeStartElement(ns, name);
    if (!pane.name.isEmpty())
        S::writeText(w, Ns::Schema, QStringLiteral("PaneName"), pane.name);
    if (!pane.receiverToken.isEmpty())
        S::writeText(w, Ns::Schema, QStringLiteral("ReceiverToken"), pane.receiverToken);
    S::writeText(w, Ns::Schema, QStringLiteral("Token"), pane.token);
    if (pane.hasWindow)
        OnvifCodec::writeWindow(w, pane.window);
    w.writeEndElement();
}

bool DisplayCodec::readPaneConfiguration(const XmlNode& node, PaneConfiguration* pane, QString* why)
{
    *pane = PaneConfiguration();
    pane->token = node.childText(Ns::Schema, QStringLiteral("Token")).trimmed();
    pane->name = node.childText(Ns::Schema, QStringLiteral("PaneName"));
    pane->receiverToken = node.childText(Ns::Schema, QStringLiteral("ReceiverToken")).trimmed();
    const XmlNode& window = node.child(Ns::Wall, QStringLiteral("Window"));
    pane->hasWindow = !window.isNull();
    if (pane->hasWindow)
        pane->window = OnvifCodec::readWindow(window);
    if (node.isNull() || pane->token.isEmpty()) {
        *why = tr("a pane configuration without a token");
        return false;
    }
    return true;
}

void DisplayCodec::writeServiceCapabilities(QXmlStreamWriter& w, bool fixedLayout)
{
    w.writeEmptyElement(Ns::Display, QStringLiteral("Capabilities"));
    w.writeAttribute(QStringLiteral("FixedLayout"),
                     fixedLayout ? QStringLiteral("true") : QStringLiteral("false"));
}

void DisplayCodec::writeDisplayOptions(QXmlStreamWriter& w, int width, int height, int maxFrameRate)
{
    // Panes may lie anywhere on the output: one option, the whole of it.
    w.writeStartElement(Ns::Display, QStringLiteral("LayoutOptions"));
    w.writeStartElement(Ns::Schema, QStringLiteral("PaneLayoutOptions"));
    w.writeEmptyElement(Ns::Schema, QStringLiteral("Area"));
    w.writeAttribute(QStringLiteral("bottom"), QStringLiteral("-1"));
    w.writeAttribute(QStringLiteral("top"), QStringLiteral("1"));
    w.writeAttribute(QStringLiteral("right"), QStringLiteral("1"));
    w.writeAttribute(QStringLiteral("left"), QStringLiteral("-1"));
    w.writeEndElement();
    w.writeEndElement();
    w.writeStartElement(Ns::Display, QStringLiteral("CodingCapabilities"));
    w.writeStartElement(Ns::Schema, QStringLiteral("VideoDecodingCapabilities"));
    w.writeStartElement(Ns::Schema, QStringLiteral("H264DecOptions"));
    w.writeStartElement(Ns::Schema, QStringLiteral("ResolutionsAvailable"));
    S::writeInt(w, Ns::Schema, QStringLiteral("Width"), width);
    S::writeInt(w, Ns::Schema, QStringLiteral("Height"), height);
    w.writeEndElement();
    S::writeText(w, Ns::Schema, QStringLiteral("SupportedH264Profiles"), QStringLiteral("Main"));
    w.writeStartElement(Ns::Schema, QStringLiteral("SupportedInputBitrate"));
    S::writeInt(w, Ns::Schema, QStringLiteral("Min"), 64);
    S::writeInt(w, Ns::Schema, QStringLiteral("Max"), 16384);
    w.writeEndElement();
    w.writeStartElement(Ns::Schema, QStringLiteral("SupportedFrameRate"));
    S::writeInt(w, Ns::Schema, QStringLiteral("Min"), 1);
    S::writeInt(w, Ns::Schema, QStringLiteral("Max"), maxFrameRate);
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndElement();
    w.writeEndElement();
}

} // namespace pral_matrix
