#include "receiverserviceclient.h"

#include "onvifnamespaces.h"
#include "onvifrequest.h"

namespace pral_matrix {

using S = SoapEnvelope;

ReceiverServiceClient::ReceiverServiceClient(OnvifTransport& transport)
    : transport(transport)
{
}

int ReceiverServiceClient::createReceiver(const QString& ip,
                                          const ReceiverCodec::Configuration& configuration, QString* token)
{
    const OnvifTransport::Call call = transport.sessionCall(
        ip, Ns::Receiver,
        onvifRequest(Ns::Receiver, QStringLiteral("CreateReceiver"), [configuration](QXmlStreamWriter& w) {
            ReceiverCodec::writeConfiguration(w, Ns::Receiver, QStringLiteral("Configuration"),
                                              configuration);
        }));
    if (!call.ok())
        return call.code();
    ReceiverCodec::Receiver receiver;
    QString why;
    if (!ReceiverCodec::readReceiver(call.message.payload.child(Ns::Receiver, QStringLiteral("Receiver")),
                                     &receiver, &why))
        return transport.refuse(ip, why);
    *token = receiver.token;
    return RESULT_OK;
}

int ReceiverServiceClient::configureReceiver(const QString& ip, const QString& token,
                                             const ReceiverCodec::Configuration& configuration)
{
    return transport
        .sessionCall(ip, Ns::Receiver,
                     onvifRequest(Ns::Receiver, QStringLiteral("ConfigureReceiver"),
                                  [token, configuration](QXmlStreamWriter& w) {
                                      S::writeText(w, Ns::Receiver, QStringLiteral("ReceiverToken"), token);
                                      ReceiverCodec::writeConfiguration(
                                          w, Ns::Receiver, QStringLiteral("Configuration"), configuration);
                                  }))
        .code();
}

QString ReceiverServiceClient::receiverState(const QString& ip, const QString& token)
{
    const OnvifTransport::Call call =
        transport.sessionCall(ip, Ns::Receiver,
                              onvifRequest(Ns::Receiver, QStringLiteral("GetReceiverState"),
                                           {{QStringLiteral("ReceiverToken"), token}}));
    return call.ok() ? ReceiverCodec::readState(call.message.payload) : QString();
}

} // namespace pral_matrix
