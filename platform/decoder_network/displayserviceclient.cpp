#include "displayserviceclient.h"

#include "onvifnamespaces.h"
#include "onvifrequest.h"

namespace pral_matrix {

namespace {

using S = SoapEnvelope;

S::Writer paneRequest(const QString& operation, const DisplayCodec::PaneConfiguration& pane)
{
    return onvifRequest(Ns::Display, operation, [pane](QXmlStreamWriter& w) {
        S::writeText(w, Ns::Display, QStringLiteral("VideoOutput"), DisplayCodec::windowOutput());
        DisplayCodec::writePaneConfiguration(w, Ns::Display, QStringLiteral("PaneConfiguration"), pane);
    });
}

} // namespace

DisplayServiceClient::DisplayServiceClient(OnvifTransport& transport)
    : transport(transport)
{
}

int DisplayServiceClient::layout(const QString& ip, QVector<DisplayCodec::PaneLayout>* panes)
{
    const OnvifTransport::Call call =
        transport.sessionCall(ip, Ns::Display,
                              onvifRequest(Ns::Display, QStringLiteral("GetLayout"),
                                           {{QStringLiteral("VideoOutput"), DisplayCodec::windowOutput()}}));
    if (!call.ok())
        return call.code();
    QString why;
    if (!DisplayCodec::readLayout(call.message.payload.child(Ns::Display, QStringLiteral("Layout")), panes,
                                  &why))
        return transport.refuse(ip, why);
    return RESULT_OK;
}

int DisplayServiceClient::setLayout(const QString& ip, const QVector<DisplayCodec::PaneLayout>& panes)
{
    return transport
        .sessionCall(ip, Ns::Display,
                     onvifRequest(Ns::Display, QStringLiteral("SetLayout"),
                                  [panes](QXmlStreamWriter& w) {
                                      S::writeText(w, Ns::Display, QStringLiteral("VideoOutput"),
                                                   DisplayCodec::windowOutput());
                                      w.writeStartElement(Ns::Display, QStringLiteral("Layout"));
                                      DisplayCodec::writeLayout(w, panes);
                                      w.writeEndElement();
                                  }))
        .code();
}

int DisplayServiceClient::paneConfiguration(const QString& ip, const QString& pane,
                                            DisplayCodec::PaneConfiguration* out)
{
    const OnvifTransport::Call call =
        transport.sessionCall(ip, Ns::Display,
                              onvifRequest(Ns::Display, QStringLiteral("GetPaneConfiguration"),
                                           {{QStringLiteral("VideoOutput"), DisplayCodec::windowOutput()},
                                            {QStringLiteral("Pane"), pane}}));
    if (!call.ok())
        return call.code();
    QString why;
    if (!DisplayCodec::readPaneConfiguration(
            call.message.payload.child(Ns::Display, QStringLiteral("PaneConfiguration")), out, &why))
        return transport.refuse(ip, why);
    return RESULT_OK;
}

int DisplayServiceClient::createPaneConfiguration(const QString& ip,
                                                  const DisplayCodec::PaneConfiguration& pane)
{
    return transport
        .sessionCall(ip, Ns::Display, paneRequest(QStringLiteral("CreatePaneConfiguration"), pane))
        .code();
}

int DisplayServiceClient::setPaneConfiguration(const QString& ip, const DisplayCodec::PaneConfiguration& pane)
{
    return transport.sessionCall(ip, Ns::Display, paneRequest(QStringLiteral("SetPaneConfiguration"), pane))
        .code();
}

} // namespace pral_matrix
