#include "deviceioservicehandler.h"

#include "daemoncontext.h"
#include "daemonendpoint.h"
#include "onvifcodec.h"
#include "onvifnamespaces.h"
#include "simulatedfleet.h"

namespace pral_matrix {

namespace {

using S = SoapEnvelope;
using R = DaemonReply;

} // namespace

QString DeviceIoServiceHandler::ns() const
{
    return Ns::DeviceIo;
}

QString DeviceIoServiceHandler::path() const
{
    return QStringLiteral("/onvif/deviceio_service");
}

QStringList DeviceIoServiceHandler::operations() const
{
    return {QStringLiteral("GetVideoOutputs"), QStringLiteral("GetVideoOutputConfiguration"),
            QStringLiteral("SetVideoOutputConfiguration")};
}

DaemonReply DeviceIoServiceHandler::handle(DaemonCall& call)
{
    const XmlNode& req = call.request;
    const QString& op = call.op;
    const QString ip = call.endpoint.ip;
    SimulatedFleet& model = context.decoders();
    const QString response = op + QStringLiteral("Response");

    if (op == QLatin1String("GetVideoOutputs")) {
        ScreenResolution_t r{0, 0, 0};
        model.getResolution(ip, 0, 0, &r);
        return R::soap(Ns::DeviceIo, response, [&](QXmlStreamWriter& w) {
            w.writeStartElement(Ns::DeviceIo, QStringLiteral("VideoOutputs"));
            w.writeAttribute(QStringLiteral("token"), OnvifCodec::outputToken(0, 0));
            w.writeEmptyElement(Ns::Schema, QStringLiteral("Layout"));
            w.writeStartElement(Ns::Schema, QStringLiteral("Resolution"));
            S::writeInt(w, Ns::Schema, QStringLiteral("Width"), r.width);
            S::writeInt(w, Ns::Schema, QStringLiteral("Height"), r.height);
            w.writeEndElement();
            S::writeInt(w, Ns::Schema, QStringLiteral("RefreshRate"), r.frameRate);
            w.writeEndElement();
        });
    }
    if (op == QLatin1String("GetVideoOutputConfiguration")) {
        int row = 0;
        int column = 0;
        if (!OnvifCodec::readOutputToken(req.childText(Ns::DeviceIo, QStringLiteral("VideoOutputToken")),
                                         &row, &column))
            return R::failed(RESULT_BAD_ARGUMENT);
        ScreenResolution_t r{0, 0, 0};
        const int result = model.getResolution(ip, row, column, &r);
        if (result != RESULT_OK)
            return R::failed(result);
        return R::soap(Ns::DeviceIo, response, [&](QXmlStreamWriter& w) {
            w.writeStartElement(Ns::DeviceIo, QStringLiteral("VideoOutputConfiguration"));
            w.writeAttribute(QStringLiteral("token"), OnvifCodec::outputToken(row, column));
            S::writeText(w, Ns::Schema, QStringLiteral("Name"), OnvifCodec::outputToken(row, column));
            S::writeInt(w, Ns::Schema, QStringLiteral("UseCount"), 1);
            S::writeText(w, Ns::Schema, QStringLiteral("OutputToken"), OnvifCodec::outputToken(row, column));
            // The resolution rides in the configuration's extension slot as ours.
            if (!context.standardOnly())
                OnvifCodec::writeResolution(w, r);
            w.writeEndElement();
        });
    }
    if (op == QLatin1String("SetVideoOutputConfiguration")) {
        const XmlNode& c = req.child(Ns::DeviceIo, QStringLiteral("Configuration"));
        int row = 0;
        int column = 0;
        ScreenResolution_t r{0, 0, 0};
        if (!OnvifCodec::readOutputToken(c.childText(Ns::Schema, QStringLiteral("OutputToken")), &row,
                                         &column))
            return R::failed(RESULT_BAD_ARGUMENT);
        // A standard configuration has nothing a standard-only decoder could change: it is taken as is.
        if (context.standardOnly())
            return model.getResolution(ip, row, column, &r) == RESULT_OK ? R::soap(Ns::DeviceIo, response)
                                                                         : R::failed(RESULT_BAD_ARGUMENT);
        if (!OnvifCodec::readResolution(c, &r))
            return R::failed(RESULT_BAD_ARGUMENT);
        const bool persist =
            req.childText(Ns::DeviceIo, QStringLiteral("ForcePersistence")) == QLatin1String("true");
        return R::done(
            model.setResolution(
                ip, ScreenResolutionInfo{row, column, {r.width, r.height, r.frameRate}, false}, persist),
            Ns::DeviceIo, op);
    }
    return R::notSupported();
}

} // namespace pral_matrix
