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
