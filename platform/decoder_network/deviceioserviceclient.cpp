#include "deviceioserviceclient.h"

#include "onvifcodec.h"
#include "onvifnamespaces.h"
#include "onvifrequest.h"

namespace pral_matrix {

DeviceIoServiceClient::DeviceIoServiceClient(OnvifTransport& transport)
    : transport(transport)
{
}

int DeviceIoServiceClient::getResolution(const QString& ip, int screenRow, int screenColumn,
                                         ScreenResolution_t* out)
{
    const OnvifTransport::Call call =
        transport.sessionCall(ip, Ns::DeviceIo,
                              onvifRequest(Ns::DeviceIo, QStringLiteral("GetVideoOutputConfiguration"),
                                           {{QStringLiteral("VideoOutputToken"),
                                             OnvifCodec::outputToken(screenRow, screenColumn)}}));
    if (!call.ok())
        return call.code();
    if (!OnvifCodec::readResolution(
            call.message.payload.child(Ns::DeviceIo, QStringLiteral("VideoOutputConfiguration")), out))
        return OnvifBackend::ResultBadReply;
    QString why;
    return OnvifCodec::checkResolution(*out, &why) ? int(RESULT_OK) : transport.refuse(ip, why);
}

int DeviceIoServiceClient::outputResolution(const QString& ip, int screenRow, int screenColumn,
                                            ScreenResolution_t* out)
{
    const OnvifTransport::Call call = transport.sessionCall(
        ip, Ns::DeviceIo, onvifRequest(Ns::DeviceIo, QStringLiteral("GetVideoOutputs")));
    if (!call.ok())
        return call.code();
    const QVector<const XmlNode*> outputs =
        call.message.payload.all(Ns::DeviceIo, QStringLiteral("VideoOutputs"));
    const QString token = OnvifCodec::outputToken(screenRow, screenColumn);
    const XmlNode* output = nullptr;
    for (const XmlNode* o : outputs) {
        if (o->attributes.value(QStringLiteral("token")) == token)
            output = o;
    }
    if (!output && screenRow == 0 && screenColumn == 0 && !outputs.isEmpty())
        output = outputs.first();
    if (!output)
        return RESULT_BAD_ARGUMENT;
    const XmlNode& r = output->child(Ns::Schema, QStringLiteral("Resolution"));
    out->width = r.childInt(Ns::Schema, QStringLiteral("Width"), -1);
    out->height = r.childInt(Ns::Schema, QStringLiteral("Height"), -1);
    // RefreshRate is optional: a display that does not tell it runs at its usual 60 Hz.
    out->frameRate = output->childInt(Ns::Schema, QStringLiteral("RefreshRate"), 60);
    if (r.isNull() || out->width < 0 || out->height < 0 || out->frameRate < 0)
        return OnvifBackend::ResultBadReply;
    QString why;
    return OnvifCodec::checkResolution(*out, &why) ? int(RESULT_OK) : transport.refuse(ip, why);
}

int DeviceIoServiceClient::setResolution(const QString& ip, int screenRow, int screenColumn,
                                         const ScreenResolution_t& resolution, bool persist)
{
    const QString token = OnvifCodec::outputToken(screenRow, screenColumn);
    return transport
        .sessionCall(
            ip, Ns::DeviceIo,
            onvifRequest(Ns::DeviceIo, QStringLiteral("SetVideoOutputConfiguration"),
                         [=](QXmlStreamWriter& w) {
                             w.writeStartElement(Ns::DeviceIo, QStringLiteral("Configuration"));
                             w.writeAttribute(QStringLiteral("token"), token);
                             w.writeTextElement(Ns::Schema, QStringLiteral("Name"), token);
                             w.writeTextElement(Ns::Schema, QStringLiteral("UseCount"), QStringLiteral("1"));
                             w.writeTextElement(Ns::Schema, QStringLiteral("OutputToken"), token);
                             OnvifCodec::writeResolution(w, resolution);
                             w.writeEndElement();
                             w.writeTextElement(Ns::DeviceIo, QStringLiteral("ForcePersistence"),
                                                persist ? QStringLiteral("true") : QStringLiteral("false"));
                         }))
        .code();
}

} // namespace pral_matrix
