#include "extensionservicehandler.h"

#include "daemoncontext.h"
#include "daemonendpoint.h"
#include "onvifcodec.h"
#include "onvifnamespaces.h"
#include "simulatedfleet.h"

#include <QDateTime>

namespace pral_matrix {

namespace {

using S = SoapEnvelope;
using R = DaemonReply;

} // namespace

QString ExtensionServiceHandler::ns() const
{
    return Ns::Wall;
}

QString ExtensionServiceHandler::path() const
{
    return QStringLiteral("/onvif/wall_service");
}

QStringList ExtensionServiceHandler::operations() const
{
    return {QStringLiteral("GetWall"),        QStringLiteral("SetWall"),
            QStringLiteral("SaveScene"),      QStringLiteral("RestoreScene"),
            QStringLiteral("RemoveScene"),    QStringLiteral("CheckScreen"),
            QStringLiteral("RemoveBanner"),   QStringLiteral("GetScreenColor"),
            QStringLiteral("SetScreenColor"), QStringLiteral("UploadPicture"),
            QStringLiteral("AddWindow"),      QStringLiteral("SetWindowSource"),
            QStringLiteral("GetLog"),         QStringLiteral("GetUpgradeState"),
            QStringLiteral("EndSession"),     QStringLiteral("ConfirmNetworkChange")};
}

void ExtensionServiceHandler::writeCapabilities(QXmlStreamWriter& w, const DaemonEndpoint& e) const
{
    const MatrixInfo d = context.info(e.ip);
    w.writeStartElement(Ns::Wall, QStringLiteral("Capabilities"));
    w.writeAttribute(QStringLiteral("DecoderType"), QString::number(int(d.matrixType)));
    w.writeAttribute(QStringLiteral("Channels"), QString::number(d.channelCount));
    if (const SimulatedDecoder* decoder = context.decoders().decoder(e.ip))
        OnvifCodec::writeRestartCapabilities(w, decoder->bootId(), decoder->configMarker());
    w.writeEndElement();
}

DaemonReply ExtensionServiceHandler::handle(DaemonCall& call)
{
    DaemonEndpoint& e = call.endpoint;
    const XmlNode& req = call.request;
    const QString& op = call.op;
    const QString ip = e.ip;
    SimulatedFleet& model = context.decoders();
    const QString response = op + QStringLiteral("Response");

    if (op == QLatin1String("GetWall")) {
        const DecoderBackend::Layout layout = model.getLayout(ip);
        if (layout.result != RESULT_OK && layout.result != RESULT_NO_LAYOUT)
            return R::failed(layout.result);
        return R::soap(Ns::Wall, response, [&](QXmlStreamWriter& w) {
            if (layout.result == RESULT_OK)
                OnvifCodec::writeWall(w, layout);
        });
    }
    if (op == QLatin1String("SetWall")) {
        const DecoderBackend::Layout l = OnvifCodec::readWall(req.child(Ns::Wall, QStringLiteral("Wall")));
        return R::done(model.setLayout(ip, l.mainType, l.rows, l.cols, l.screens, l.name), Ns::Wall, op);
    }
    const int sceneNo = req.childInt(Ns::Wall, QStringLiteral("SceneNo"), 0);
    if (op == QLatin1String("SaveScene"))
        return R::done(model.saveScene(ip, sceneNo, req.childText(Ns::Wall, QStringLiteral("Name"))),
                       Ns::Wall, op);
    if (op == QLatin1String("RestoreScene"))
        return R::done(model.restoreScene(ip, sceneNo), Ns::Wall, op);
    if (op == QLatin1String("RemoveScene"))
        return R::done(model.removeScene(ip, sceneNo), Ns::Wall, op);
    if (op == QLatin1String("CheckScreen"))
        return R::done(
            model.checkScreen(ip, req.childInt(Ns::Wall, QStringLiteral("Location"), -1),
                              req.childText(Ns::Wall, QStringLiteral("Open")) == QLatin1String("true")),
            Ns::Wall, op);
    if (op == QLatin1String("RemoveBanner"))
        return R::done(model.removeBanner(ip), Ns::Wall, op);
    const int screenRow = req.childInt(Ns::Wall, QStringLiteral("ScreenRow"), -1);
    const int screenColumn = req.childInt(Ns::Wall, QStringLiteral("ScreenColumn"), -1);
    if (op == QLatin1String("GetScreenColor")) {
        ScreenColor color;
        const int result = model.getScreenColor(ip, screenRow, screenColumn, &color);
        if (result != RESULT_OK)
            return R::failed(result);
        return R::soap(Ns::Wall, response, [&](QXmlStreamWriter& w) { OnvifCodec::writeColor(w, color); });
    }
    if (op == QLatin1String("SetScreenColor")) {
        ScreenColor color;
        if (!OnvifCodec::readColor(req.child(Ns::Wall, QStringLiteral("ImagingSettings")), &color))
            return R::failed(RESULT_BAD_ARGUMENT);
        return R::done(model.setScreenColor(ip, screenRow, screenColumn, color), Ns::Wall, op);
    }
    if (op == QLatin1String("UploadPicture"))
        return uploadPicture(call);
    if (op == QLatin1String("AddWindow") || op == QLatin1String("SetWindowSource"))
        return window(call);
    if (op == QLatin1String("GetLog")) {
        QStringList lines;
        const int result = model.getLog(
            ip, QDateTime::fromString(req.childText(Ns::Wall, QStringLiteral("From")), Qt::ISODate),
            QDateTime::fromString(req.childText(Ns::Wall, QStringLiteral("To")), Qt::ISODate),
            req.childInt(Ns::Wall, QStringLiteral("Type"), -2), QString(), &lines);
        if (result != RESULT_OK)
            return R::failed(result);
        return R::soap(Ns::Wall, response, [&](QXmlStreamWriter& w) {
            for (const QString& line : qAsConst(lines))
                S::writeText(w, Ns::Wall, QStringLiteral("Line"), line);
        });
    }
    if (op == QLatin1String("ConfirmNetworkChange"))
        return confirmNetworkChange(call);
    if (op == QLatin1String("EndSession")) {
        // The client logs out: what lasts only for the session ends, as it does in the process.
        model.logout(ip);
        return R::soap(Ns::Wall, response);
    }
    if (op == QLatin1String("GetUpgradeState")) {
        return R::soap(Ns::Wall, response, [&](QXmlStreamWriter& w) {
            S::writeText(w, Ns::Wall, QStringLiteral("State"), e.upgradeState);
            S::writeInt(w, Ns::Wall, QStringLiteral("Percent"), e.upgradePercent);
            S::writeInt(w, Ns::Wall, QStringLiteral("Code"), e.upgradeCode);
        });
    }
    return R::notSupported();
}

DaemonReply ExtensionServiceHandler::uploadPicture(DaemonCall& call)
{
    const QString name = call.request.childText(Ns::Wall, QStringLiteral("Name"));
    const QByteArray data =
        QByteArray::fromBase64(call.request.childText(Ns::Wall, QStringLiteral("Data")).toLatin1());
    if (name.isEmpty() || name.size() > MaxPictureNameLength || name.contains(QLatin1Char('/')) ||
        data.isEmpty())
        return R::failed(RESULT_BAD_ARGUMENT);
    DaemonReply refusal;
    if (!context.storePicture(call.endpoint, name, data, &refusal))
        return refusal;
    return R::soap(Ns::Wall, call.op + QStringLiteral("Response"), [&](QXmlStreamWriter& w) {
        S::writeText(w, Ns::Wall, QStringLiteral("PictureToken"), name);
    });
}

DaemonReply ExtensionServiceHandler::window(DaemonCall& call)
{
    DaemonEndpoint& e = call.endpoint;
    const XmlNode& req = call.request;
    MatrixWindowInfo window = OnvifCodec::readWindow(req.child(Ns::Wall, QStringLiteral("Window")));
    if (!context.resolvePictures(e, &window.sourceList))
        return R::failed(RESULT_BAD_ARGUMENT);
    SimulatedFleet& model = context.decoders();
    const int result =
        call.op == QLatin1String("AddWindow")
            ? model.addWindow(e.ip, window)
            : model.setWindowSource(e.ip, window, req.childInt(Ns::Wall, QStringLiteral("WindowId"), -1),
                                    req.childText(Ns::Wall, QStringLiteral("Show")) == QLatin1String("true"));
    return R::done(result, Ns::Wall, call.op);
}

DaemonReply ExtensionServiceHandler::confirmNetworkChange(DaemonCall& call)
{
    const int result = context.decoders().confirmNetwork(call.endpoint.ip);
    if (result == RESULT_OK)
        return R::soap(Ns::Wall, QStringLiteral("ConfirmNetworkChangeResponse"));
    // Not a decoder that goes back by itself.
    return R::fault(500, QStringLiteral("Receiver"), QStringLiteral("Action"),
                    QStringLiteral("The decoder keeps new addresses without confirmation"), result);
}

} // namespace pral_matrix
