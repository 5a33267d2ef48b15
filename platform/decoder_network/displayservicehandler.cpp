#include "displayservicehandler.h"

#include "daemoncontext.h"
#include "daemonendpoint.h"
#include "onvifnamespaces.h"
#include "simulatedfleet.h"

namespace pral_matrix {

namespace {

using S = SoapEnvelope;
using R = DaemonReply;

DaemonReply noOutput()
{
    return R::fault(400, QStringLiteral("Sender"), QStringLiteral("InvalidArgVal/NoVideoOutput"),
                    QStringLiteral("The decoder shows its windows on %1").arg(DisplayCodec::windowOutput()),
                    RESULT_BAD_ARGUMENT);
}

DaemonReply noPane(const QString& token)
{
    return R::fault(400, QStringLiteral("Sender"), QStringLiteral("InvalidArgVal/NoPaneConfiguration"),
                    QStringLiteral("No pane %1").arg(token.left(40)), RESULT_BAD_ARGUMENT);
}

} // namespace

QString DisplayServiceHandler::ns() const
{
    return Ns::Display;
}

QString DisplayServiceHandler::path() const
{
    return QStringLiteral("/onvif/display_service");
}

QStringList DisplayServiceHandler::operations() const
{
    return {QStringLiteral("GetServiceCapabilities"),
            QStringLiteral("GetLayout"),
            QStringLiteral("SetLayout"),
            QStringLiteral("GetDisplayOptions"),
            QStringLiteral("GetPaneConfigurations"),
            QStringLiteral("GetPaneConfiguration"),
            QStringLiteral("SetPaneConfigurations"),
            QStringLiteral("SetPaneConfiguration"),
            QStringLiteral("CreatePaneConfiguration"),
            QStringLiteral("DeletePaneConfiguration")};
}

DaemonServiceHandler::Access DisplayServiceHandler::access(const QString& op, const DaemonEndpoint& e) const
{
    return op == QLatin1String("GetServiceCapabilities") ? Access::Anyone
                                                         : DaemonServiceHandler::access(op, e);
}

void DisplayServiceHandler::writeCapabilities(QXmlStreamWriter& w, const DaemonEndpoint&) const
{
    DisplayCodec::writeServiceCapabilities(w, false);
}

QVector<DisplayCodec::PaneConfiguration> DisplayServiceHandler::shownPanes(DaemonContext& context,
                                                                           DaemonEndpoint& e)
{
    const SimulatedDecoder* decoder = context.decoders().decoder(e.ip);
    const QList<MatrixWindowInfo> windows = decoder ? decoder->windows() : QList<MatrixWindowInfo>();
    // Windows the decoder closed (a session that ended, a scene restored) take their tokens with them.
    while (e.windowTokens.size() > windows.size())
        e.windowTokens.removeLast();
    QVector<DisplayCodec::PaneConfiguration> panes;
    for (int i = 0; i < windows.size(); ++i) {
        DisplayCodec::PaneConfiguration pane;
        pane.token = i < e.windowTokens.size() ? e.windowTokens.at(i) : DisplayCodec::paneToken(i + 1);
        pane.name = QStringLiteral("Window %1").arg(i + 1);
        pane.receiverToken = e.receivers.contains(e.paneReceivers.value(pane.token))
                                 ? e.paneReceivers.value(pane.token)
                                 : QString();
        pane.hasWindow = !context.standardOnly();
        pane.window = windows.at(i);
        panes.append(pane);
    }
    return panes;
}

DaemonReply DisplayServiceHandler::handle(DaemonCall& call)
{
    DaemonEndpoint& e = call.endpoint;
    const XmlNode& req = call.request;
    const QString& op = call.op;
    const QString response = op + QStringLiteral("Response");
    if (op == QLatin1String("GetServiceCapabilities"))
        return R::soap(Ns::Display, response, [&](QXmlStreamWriter& w) { writeCapabilities(w, e); });
    if (req.childText(Ns::Display, QStringLiteral("VideoOutput")).trimmed() != DisplayCodec::windowOutput())
        return noOutput();
    const QVector<DisplayCodec::PaneConfiguration> shown = shownPanes(context, e);
    const auto shownIndex = [&shown](const QString& token) {
        for (int i = 0; i < shown.size(); ++i) {
            if (shown.at(i).token == token)
                return i;
        }
        return -1;
    };

    if (op == QLatin1String("GetLayout")) {
        return R::soap(Ns::Display, response, [&](QXmlStreamWriter& w) {
            QVector<DisplayCodec::PaneLayout> layout;
            for (const DisplayCodec::PaneConfiguration& pane : shown)
                layout.append(DisplayCodec::paneLayout(pane.token, pane.window));
            w.writeStartElement(Ns::Display, QStringLiteral("Layout"));
            DisplayCodec::writeLayout(w, layout);
            w.writeEndElement();
        });
    }
    if (op == QLatin1String("SetLayout"))
        return setLayout(call);
    if (op == QLatin1String("GetDisplayOptions")) {
        ScreenResolution_t r{1920, 1080, 60};
        context.decoders().getResolution(e.ip, 0, 0, &r);
        return R::soap(Ns::Display, response, [&](QXmlStreamWriter& w) {
            DisplayCodec::writeDisplayOptions(w, r.width, r.height, qMax(1, r.frameRate));
        });
    }
    if (op == QLatin1String("GetPaneConfigurations")) {
        return R::soap(Ns::Display, response, [&](QXmlStreamWriter& w) {
            for (const DisplayCodec::PaneConfiguration& pane : shown)
                DisplayCodec::writePaneConfiguration(w, Ns::Display, QStringLiteral("PaneConfiguration"),
                                                     pane);
            for (const DisplayCodec::PaneConfiguration& pane : qAsConst(e.pendingPanes))
                DisplayCodec::writePaneConfiguration(w, Ns::Display, QStringLiteral("PaneConfiguration"),
                                                     pane);
        });
    }
    if (op == QLatin1String("GetPaneConfiguration")) {
        const QString token = req.childText(Ns::Display, QStringLiteral("Pane")).trimmed();
        const int index = shownIndex(token);
        if (index < 0 && !e.pendingPanes.contains(token))
            return noPane(token);
        return R::soap(Ns::Display, response, [&](QXmlStreamWriter& w) {
            DisplayCodec::writePaneConfiguration(w, Ns::Display, QStringLiteral("PaneConfiguration"),
                                                 index >= 0 ? shown.at(index) : e.pendingPanes.value(token));
        });
    }
    if (op == QLatin1String("SetPaneConfiguration") || op == QLatin1String("SetPaneConfigurations"))
        return setPaneConfigurations(call);
    if (op == QLatin1String("CreatePaneConfiguration")) {
        DisplayCodec::PaneConfiguration pane;
        QString why;
        const XmlNode& node = req.child(Ns::Display, QStringLiteral("PaneConfiguration"));
        // The device names the pane; a token the client proposes is taken when it is free.
        DisplayCodec::readPaneConfiguration(node, &pane, &why);
        // A standard-only decoder takes no window record of ours (nor hands one back).
        pane.hasWindow = pane.hasWindow && !context.standardOnly();
        if (shown.size() + e.pendingPanes.size() >= DisplayCodec::MaxPanes)
            return R::fault(500, QStringLiteral("Receiver"), QStringLiteral("Action/MaxPanes"),
                            QStringLiteral("The decoder shows %1 panes at most").arg(DisplayCodec::MaxPanes),
                            RESULT_BAD_ARGUMENT);
        if (!pane.receiverToken.isEmpty() && !e.receivers.contains(pane.receiverToken))
            return R::fault(400, QStringLiteral("Sender"), QStringLiteral("InvalidArgVal/UnknownToken"),
                            QStringLiteral("No receiver %1").arg(pane.receiverToken.left(40)),
                            RESULT_BAD_ARGUMENT);
        if (pane.token.isEmpty() || pane.token.size() > 64 || shownIndex(pane.token) >= 0 ||
            e.pendingPanes.contains(pane.token)) {
            int n = shown.size() + 1;
            while (shownIndex(DisplayCodec::paneToken(n)) >= 0 ||
                   e.pendingPanes.contains(DisplayCodec::paneToken(n)))
                ++n;
            pane.token = DisplayCodec::paneToken(n);
        }
        e.pendingPanes.insert(pane.token, pane);
        return R::soap(Ns::Display, response, [&](QXmlStreamWriter& w) {
            S::writeText(w, Ns::Display, QStringLiteral("PaneToken"), pane.token);
        });
    }
    if (op == QLatin1String("DeletePaneConfiguration")) {
        const QString token = req.childText(Ns::Display, QStringLiteral("PaneToken")).trimmed();
        if (shownIndex(token) >= 0)
            return R::fault(400, QStringLiteral("Sender"), QStringLiteral("OperationProhibited/PaneInUse"),
                            QStringLiteral("The pane %1 is in the layout").arg(token), RESULT_BAD_ARGUMENT);
        if (!e.pendingPanes.remove(token))
            return noPane(token);
        e.paneReceivers.remove(token);
        return R::soap(Ns::Display, response);
    }
    return R::notSupported();
}

int DisplayServiceHandler::feed(DaemonEndpoint& e, int index, const QString& receiver)
{
    MatrixWindowInfo window;
    window.sourceList = ReceiverCodec::sources(e.receivers.value(receiver).configuration);
    if (!context.resolvePictures(e, &window.sourceList))
        return RESULT_BAD_ARGUMENT;
    return context.decoders().setWindowSource(e.ip, window, index, true);
}

DaemonReply DisplayServiceHandler::setLayout(DaemonCall& call)
{
    DaemonEndpoint& e = call.endpoint;
    QVector<DisplayCodec::PaneLayout> layout;
    QString why;
    if (!DisplayCodec::readLayout(call.request.child(Ns::Display, QStringLiteral("Layout")), &layout, &why))
        return R::fault(400, QStringLiteral("Sender"), QStringLiteral("InvalidArgVal/InvalidLayout"), why,
                        RESULT_BAD_ARGUMENT);
    const QVector<DisplayCodec::PaneConfiguration> shown = shownPanes(context, e);
    // Every shown pane stays where it is; the others are panes waiting to be placed.
    QVector<DisplayCodec::PaneLayout> added;
    QStringList kept;
    for (const DisplayCodec::PaneLayout& p : qAsConst(layout)) {
        const auto it =
            std::find_if(shown.begin(), shown.end(),
                         [&p](const DisplayCodec::PaneConfiguration& s) { return s.token == p.pane; });
        if (it != shown.end()) {
            MatrixWindowInfo at;
            if (!DisplayCodec::readArea(p, &at) || at.x != it->window.x || at.y != it->window.y ||
                at.width != it->window.width || at.height != it->window.height)
                return R::fault(
                    400, QStringLiteral("Sender"), QStringLiteral("InvalidArgVal/InvalidLayout"),
                    QStringLiteral("The decoder keeps its windows where they are until the session "
                                   "ends: %1 cannot move")
                        .arg(p.pane),
                    RESULT_BAD_ARGUMENT);
            kept << p.pane;
        } else if (!e.pendingPanes.contains(p.pane)) {
            return noPane(p.pane);
        } else {
            added.append(p);
        }
    }
    if (kept.size() != shown.size())
        return R::fault(400, QStringLiteral("Sender"), QStringLiteral("InvalidArgVal/InvalidLayout"),
                        QStringLiteral("The decoder keeps its windows until the session ends"),
                        RESULT_BAD_ARGUMENT);
    SimulatedFleet& model = context.decoders();
    for (const DisplayCodec::PaneLayout& p : qAsConst(added)) {
        const DisplayCodec::PaneConfiguration pane = e.pendingPanes.value(p.pane);
        MatrixWindowInfo window = pane.hasWindow ? pane.window : MatrixWindowInfo();
        if (!DisplayCodec::readArea(p, &window))
            return R::failed(RESULT_BAD_ARGUMENT);
        if (!context.resolvePictures(e, &window.sourceList))
            return R::failed(RESULT_BAD_ARGUMENT);
        int result = model.addWindow(e.ip, window);
        if (result != RESULT_OK)
            return R::failed(result);
        const int index = shownPanes(context, e).size() - 1;
        while (e.windowTokens.size() < index)
            e.windowTokens << DisplayCodec::paneToken(e.windowTokens.size() + 1);
        e.windowTokens << p.pane;
        e.pendingPanes.remove(p.pane);
        if (!pane.receiverToken.isEmpty()) {
            e.paneReceivers.insert(p.pane, pane.receiverToken);
            result = feed(e, index, pane.receiverToken);
            if (result != RESULT_OK)
                return R::failed(result);
        }
    }
    return R::soap(Ns::Display, call.op + QStringLiteral("Response"));
}

DaemonReply DisplayServiceHandler::setPaneConfigurations(DaemonCall& call)
{
    DaemonEndpoint& e = call.endpoint;
    const QVector<const XmlNode*> nodes = call.request.all(Ns::Display, QStringLiteral("PaneConfiguration"));
    if (nodes.isEmpty() || nodes.size() > DisplayCodec::MaxPanes)
        return R::failed(RESULT_BAD_ARGUMENT);
    const QVector<DisplayCodec::PaneConfiguration> shown = shownPanes(context, e);
    QVector<DisplayCodec::PaneConfiguration> panes;
    for (const XmlNode* node : nodes) {
        DisplayCodec::PaneConfiguration pane;
        QString why;
        if (!DisplayCodec::readPaneConfiguration(*node, &pane, &why))
            return R::fault(400, QStringLiteral("Sender"), QStringLiteral("InvalidArgVal"), why,
                            RESULT_BAD_ARGUMENT);
        pane.hasWindow = pane.hasWindow && !context.standardOnly();
        const bool known =
            e.pendingPanes.contains(pane.token) ||
            std::any_of(shown.begin(), shown.end(),
                        [&pane](const DisplayCodec::PaneConfiguration& s) { return s.token == pane.token; });
        if (!known)
            return noPane(pane.token);
        if (!pane.receiverToken.isEmpty() && !e.receivers.contains(pane.receiverToken))
            return R::fault(400, QStringLiteral("Sender"), QStringLiteral("InvalidArgVal/UnknownToken"),
                            QStringLiteral("No receiver %1").arg(pane.receiverToken.left(40)),
                            RESULT_BAD_ARGUMENT);
        panes.append(pane);
    }
    for (const DisplayCodec::PaneConfiguration& pane : qAsConst(panes)) {
        if (e.pendingPanes.contains(pane.token)) {
            e.pendingPanes.insert(pane.token, pane);
            continue;
        }
        int index = 0;
        while (shown.at(index).token != pane.token)
            ++index;
        if (pane.receiverToken.isEmpty()) {
            e.paneReceivers.remove(pane.token);
            continue;
        }
        e.paneReceivers.insert(pane.token, pane.receiverToken);
        const int result = feed(e, index, pane.receiverToken);
        if (result != RESULT_OK)
            return R::failed(result);
    }
    return R::soap(Ns::Display, call.op + QStringLiteral("Response"));
}

} // namespace pral_matrix
