#include "receiverservicehandler.h"

#include "daemoncontext.h"
#include "daemonendpoint.h"
#include "displayservicehandler.h"
#include "onvifnamespaces.h"
#include "receivercodec.h"
#include "simulatedfleet.h"

namespace pral_matrix {

namespace {

using R = DaemonReply;

DaemonReply unknown(const QString& token)
{
    return R::fault(400, QStringLiteral("Sender"), QStringLiteral("InvalidArgVal/UnknownToken"),
                    QStringLiteral("No receiver %1").arg(token.left(40)), RESULT_BAD_ARGUMENT);
}

} // namespace

QString ReceiverServiceHandler::ns() const
{
    return Ns::Receiver;
}

QString ReceiverServiceHandler::path() const
{
    return QStringLiteral("/onvif/receiver_service");
}

QStringList ReceiverServiceHandler::operations() const
{
    return {QStringLiteral("GetServiceCapabilities"),
            QStringLiteral("GetReceivers"),
            QStringLiteral("GetReceiver"),
            QStringLiteral("CreateReceiver"),
            QStringLiteral("DeleteReceiver"),
            QStringLiteral("ConfigureReceiver"),
            QStringLiteral("SetReceiverMode"),
            QStringLiteral("GetReceiverState")};
}

DaemonServiceHandler::Access ReceiverServiceHandler::access(const QString& op, const DaemonEndpoint& e) const
{
    return op == QLatin1String("GetServiceCapabilities") ? Access::Anyone
                                                         : DaemonServiceHandler::access(op, e);
}

void ReceiverServiceHandler::writeCapabilities(QXmlStreamWriter& w, const DaemonEndpoint&) const
{
    ReceiverCodec::writeServiceCapabilities(w, ReceiverCodec::MaxReceivers);
}

DaemonReply ReceiverServiceHandler::handle(DaemonCall& call)
{
    DaemonEndpoint& e = call.endpoint;
    const XmlNode& req = call.request;
    const QString& op = call.op;
    const QString response = op + QStringLiteral("Response");
    const QString token = req.childText(Ns::Receiver, QStringLiteral("ReceiverToken")).trimmed();

    if (op == QLatin1String("GetServiceCapabilities"))
        return R::soap(Ns::Receiver, response, [&](QXmlStreamWriter& w) { writeCapabilities(w, e); });
    if (op == QLatin1String("GetReceivers")) {
        return R::soap(Ns::Receiver, response, [&](QXmlStreamWriter& w) {
            for (const ReceiverCodec::Receiver& r : qAsConst(e.receivers))
                ReceiverCodec::writeReceiver(w, Ns::Receiver, QStringLiteral("Receivers"), r);
        });
    }
    if (op == QLatin1String("CreateReceiver") || op == QLatin1String("ConfigureReceiver")) {
        ReceiverCodec::Configuration configuration;
        QString why;
        if (!ReceiverCodec::readConfiguration(req.child(Ns::Receiver, QStringLiteral("Configuration")),
                                              &configuration, &why))
            return R::fault(400, QStringLiteral("Sender"), QStringLiteral("InvalidArgVal"), why,
                            RESULT_BAD_ARGUMENT);
        // What a receiver shows in a standard-only decoder is its stream alone: our sources are not taken.
        if (context.standardOnly())
            configuration.sources.clear();
        if (op == QLatin1String("CreateReceiver")) {
            if (e.receivers.size() >= ReceiverCodec::MaxReceivers)
                return R::fault(
                    500, QStringLiteral("Receiver"), QStringLiteral("Action/CapabilityViolated"),
                    QStringLiteral("The decoder keeps %1 receivers at most").arg(ReceiverCodec::MaxReceivers),
                    RESULT_BAD_ARGUMENT);
            const ReceiverCodec::Receiver made{QStringLiteral("Receiver-%1").arg(++e.receiversMade),
                                               configuration};
            e.receivers.insert(made.token, made);
            return R::soap(Ns::Receiver, response, [&](QXmlStreamWriter& w) {
                ReceiverCodec::writeReceiver(w, Ns::Receiver, QStringLiteral("Receiver"), made);
            });
        }
        if (!e.receivers.contains(token))
            return unknown(token);
        e.receivers[token].configuration = configuration;
        // The windows it feeds show the new source at once.
        const QVector<DisplayCodec::PaneConfiguration> shown = DisplayServiceHandler::shownPanes(context, e);
        for (int i = 0; i < shown.size(); ++i) {
            if (shown.at(i).receiverToken != token)
                continue;
            MatrixWindowInfo window;
            window.sourceList = ReceiverCodec::sources(configuration);
            if (!context.resolvePictures(e, &window.sourceList))
                return R::failed(RESULT_BAD_ARGUMENT);
            const int result = context.decoders().setWindowSource(e.ip, window, i, true);
            if (result != RESULT_OK)
                return R::failed(result);
        }
        return R::soap(Ns::Receiver, response);
    }
    if (!e.receivers.contains(token))
        return unknown(token);
    if (op == QLatin1String("GetReceiver")) {
        return R::soap(Ns::Receiver, response, [&](QXmlStreamWriter& w) {
            ReceiverCodec::writeReceiver(w, Ns::Receiver, QStringLiteral("Receiver"),
                                         e.receivers.value(token));
        });
    }
    if (op == QLatin1String("SetReceiverMode")) {
        const QString mode = req.childText(Ns::Receiver, QStringLiteral("Mode")).trimmed();
        if (!ReceiverCodec::isMode(mode))
            return R::fault(400, QStringLiteral("Sender"), QStringLiteral("InvalidArgVal"),
                            QStringLiteral("No receiver mode %1").arg(mode.left(40)), RESULT_BAD_ARGUMENT);
        e.receivers[token].configuration.mode = mode;
        return R::soap(Ns::Receiver, response);
    }
    const QVector<DisplayCodec::PaneConfiguration> shown = DisplayServiceHandler::shownPanes(context, e);
    const bool inUse =
        std::any_of(shown.begin(), shown.end(),
                    [&token](const DisplayCodec::PaneConfiguration& p) { return p.receiverToken == token; });
    if (op == QLatin1String("GetReceiverState")) {
        const bool connected =
            inUse && e.receivers.value(token).configuration.mode != QLatin1String("NeverConnect");
        return R::soap(Ns::Receiver, response, [&](QXmlStreamWriter& w) {
            ReceiverCodec::writeState(
                w, connected ? QStringLiteral("Connected") : QStringLiteral("NotConnected"), false);
        });
    }
    if (op == QLatin1String("DeleteReceiver")) {
        const bool pending = std::any_of(
            e.pendingPanes.begin(), e.pendingPanes.end(),
            [&token](const DisplayCodec::PaneConfiguration& p) { return p.receiverToken == token; });
        if (inUse || pending)
            return R::fault(400, QStringLiteral("Sender"),
                            QStringLiteral("OperationProhibited/ReceiverInUse"),
                            QStringLiteral("A pane shows the receiver %1").arg(token), RESULT_BAD_ARGUMENT);
        e.receivers.remove(token);
        return R::soap(Ns::Receiver, response);
    }
    return R::notSupported();
}

} // namespace pral_matrix
