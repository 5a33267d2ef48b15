#include "extensionserviceclient.h"

#include "onvifcodec.h"
#include "onvifnamespaces.h"
#include "onvifrequest.h"

#include <QFile>
#include <QFileInfo>

namespace pral_matrix {

using S = SoapEnvelope;

ExtensionServiceClient::ExtensionServiceClient(OnvifTransport& transport)
    : transport(transport)
{
}

const XmlNode& ExtensionServiceClient::capabilities(const S::Message& services)
{
    static const XmlNode none;
    for (const XmlNode* s : services.payload.all(Ns::Device, QStringLiteral("Service"))) {
        if (s->childText(Ns::Device, QStringLiteral("Namespace")) == Ns::Wall)
            return s->child(Ns::Device, QStringLiteral("Capabilities"))
                .child(Ns::Wall, QStringLiteral("Capabilities"));
    }
    return none;
}

int ExtensionServiceClient::sessionResult(const QString& ip, const S::Writer& body)
{
    return transport.sessionCall(ip, Ns::Wall, body).code();
}

// ---- walls, scenes, identify ----

DecoderBackend::Layout ExtensionServiceClient::getWall(const QString& ip)
{
    const OnvifTransport::Call call =
        transport.sessionCall(ip, Ns::Wall, onvifRequest(Ns::Wall, QStringLiteral("GetWall")));
    DecoderBackend::Layout layout;
    if (!call.ok()) {
        layout.result = call.code();
        return layout;
    }
    layout = OnvifCodec::readWall(call.message.payload.child(Ns::Wall, QStringLiteral("Wall")));
    QString why;
    if (layout.result == RESULT_OK && !OnvifCodec::checkWall(layout, &why)) {
        layout = DecoderBackend::Layout();
        layout.result = transport.refuse(ip, why);
    }
    return layout;
}

int ExtensionServiceClient::setWall(const QString& ip, const DecoderBackend::Layout& layout)
{
    return sessionResult(ip, onvifRequest(Ns::Wall, QStringLiteral("SetWall"), [layout](QXmlStreamWriter& w) {
                             OnvifCodec::writeWall(w, layout);
                         }));
}

int ExtensionServiceClient::saveScene(const QString& ip, int sceneNo, const QString& name)
{
    return sessionResult(ip, onvifRequest(Ns::Wall, QStringLiteral("SaveScene"),
                                          {{QStringLiteral("SceneNo"), QString::number(sceneNo)},
                                           {QStringLiteral("Name"), name}}));
}

int ExtensionServiceClient::restoreScene(const QString& ip, int sceneNo)
{
    return sessionResult(ip, onvifRequest(Ns::Wall, QStringLiteral("RestoreScene"),
                                          {{QStringLiteral("SceneNo"), QString::number(sceneNo)}}));
}

int ExtensionServiceClient::removeScene(const QString& ip, int sceneNo)
{
    return sessionResult(ip, onvifRequest(Ns::Wall, QStringLiteral("RemoveScene"),
                                          {{QStringLiteral("SceneNo"), QString::number(sceneNo)}}));
}

int ExtensionServiceClient::checkScreen(const QString& ip, int location, bool open)
{
    return sessionResult(ip, onvifRequest(Ns::Wall, QStringLiteral("CheckScreen"),
                                          {{QStringLiteral("Location"), QString::number(location)},
                                           {QStringLiteral("Open"),
                                            open ? QStringLiteral("true") : QStringLiteral("false")}}));
}

int ExtensionServiceClient::removeBanner(const QString& ip)
{
    return sessionResult(ip, onvifRequest(Ns::Wall, QStringLiteral("RemoveBanner")));
}

// ---- colours, windows, pictures ----

int ExtensionServiceClient::getScreenColor(const QString& ip, int screenRow, int screenColumn,
                                           ScreenColor* out)
{
    const OnvifTransport::Call call = transport.sessionCall(
        ip, Ns::Wall,
        onvifRequest(Ns::Wall, QStringLiteral("GetScreenColor"),
                     {{QStringLiteral("ScreenRow"), QString::number(screenRow)},
                      {QStringLiteral("ScreenColumn"), QString::number(screenColumn)}}));
    if (!call.ok())
        return call.code();
    if (!OnvifCodec::readColor(call.message.payload.child(Ns::Wall, QStringLiteral("ImagingSettings")), out))
        return OnvifBackend::ResultBadReply;
    QString why;
    return OnvifCodec::checkColor(*out, &why) ? int(RESULT_OK) : transport.refuse(ip, why);
}

int ExtensionServiceClient::setScreenColor(const QString& ip, int screenRow, int screenColumn,
                                           const ScreenColor& color)
{
    return sessionResult(
        ip, onvifRequest(Ns::Wall, QStringLiteral("SetScreenColor"), [=](QXmlStreamWriter& w) {
            w.writeTextElement(Ns::Wall, QStringLiteral("ScreenRow"), QString::number(screenRow));
            w.writeTextElement(Ns::Wall, QStringLiteral("ScreenColumn"), QString::number(screenColumn));
            OnvifCodec::writeColor(w, color);
        }));
}

int ExtensionServiceClient::uploadPictures(const QString& ip, MatrixWindowInfo* window)
{
    // A path on this machine means nothing to the decoder: it gets the picture and names it by token.
    for (WindowSourceInfo& s : window->sourceList) {
        const QFileInfo file(s.picturePath);
        if (s.picturePath.isEmpty() || !file.isFile())
            continue;
        const QString name = file.fileName();
        const QString key = QStringLiteral("%1|%2|%3|%4")
                                .arg(ip, file.absoluteFilePath())
                                .arg(file.size())
                                .arg(file.lastModified().toMSecsSinceEpoch());
        bool known = false;
        {
            QMutexLocker lock(&mutex);
            known = uploadedPictures.contains(key);
        }
        if (!known) {
            QFile picture(file.absoluteFilePath());
            if (file.size() > transport.options().maxReplyBytes / 2 || !picture.open(QIODevice::ReadOnly))
                return RESULT_IO_ERROR;
            const QByteArray data = picture.readAll().toBase64();
            const OnvifTransport::Call call =
                transport.sessionCall(ip, Ns::Wall,
                                      onvifRequest(Ns::Wall, QStringLiteral("UploadPicture"),
                                                   {{QStringLiteral("Name"), name},
                                                    {QStringLiteral("Data"), QString::fromLatin1(data)}}));
            if (!call.ok())
                return call.code();
            QMutexLocker lock(&mutex);
            uploadedPictures.insert(key);
        }
        s.picturePath = QStringLiteral("picture:") + name;
    }
    return RESULT_OK;
}

void ExtensionServiceClient::forgetPictures(const QString& ip)
{
    QMutexLocker lock(&mutex);
    for (auto it = uploadedPictures.begin(); it != uploadedPictures.end();) {
        if (it->startsWith(ip + QLatin1Char('|')))
            it = uploadedPictures.erase(it);
        else
            ++it;
    }
}

int ExtensionServiceClient::addWindow(const QString& ip, const MatrixWindowInfo& window)
{
    MatrixWindowInfo sent = window;
    const int uploaded = uploadPictures(ip, &sent);
    if (uploaded != RESULT_OK)
        return uploaded;
    return sessionResult(ip,
                         onvifRequest(Ns::Wall, QStringLiteral("AddWindow"),
                                      [&sent](QXmlStreamWriter& w) { OnvifCodec::writeWindow(w, sent); }));
}

int ExtensionServiceClient::setWindowSource(const QString& ip, const MatrixWindowInfo& window, int windowId,
                                            bool show)
{
    MatrixWindowInfo sent = window;
    const int uploaded = uploadPictures(ip, &sent);
    if (uploaded != RESULT_OK)
        return uploaded;
    return sessionResult(
        ip, onvifRequest(Ns::Wall, QStringLiteral("SetWindowSource"), [&](QXmlStreamWriter& w) {
            w.writeTextElement(Ns::Wall, QStringLiteral("WindowId"), QString::number(windowId));
            w.writeTextElement(Ns::Wall, QStringLiteral("Show"),
                               show ? QStringLiteral("true") : QStringLiteral("false"));
            OnvifCodec::writeWindow(w, sent);
        }));
}

// ---- logs, sessions, upgrades ----

int ExtensionServiceClient::log(const QString& ip, int logType, const QDateTime& begin, const QDateTime& end,
                                QStringList* lines)
{
    const OnvifTransport::Call call =
        transport.sessionCall(ip, Ns::Wall,
                              onvifRequest(Ns::Wall, QStringLiteral("GetLog"),
                                           {{QStringLiteral("Type"), QString::number(logType)},
                                            {QStringLiteral("From"), begin.toString(Qt::ISODate)},
                                            {QStringLiteral("To"), end.toString(Qt::ISODate)}}));
    if (!call.ok())
        return call.code();
    for (const XmlNode* line : call.message.payload.all(Ns::Wall, QStringLiteral("Line")))
        lines->append(line->text);
    return RESULT_OK;
}

void ExtensionServiceClient::endSession(const QString& url, const S::Token& token)
{
    transport.soapAt(url, onvifRequest(Ns::Wall, QStringLiteral("EndSession")), &token);
}

int ExtensionServiceClient::confirmNetworkChange(const QString& url, const S::Token& token)
{
    const OnvifTransport::Call call =
        transport.soapAt(url, onvifRequest(Ns::Wall, QStringLiteral("ConfirmNetworkChange")), &token);
    // A decoder that does not know the operation, or refuses it, does not go back by itself.
    return call.result != RESULT_OK ? call.result
           : call.message.isFault   ? int(RESULT_UNSUPPORTED)
                                    : int(RESULT_OK);
}

bool ExtensionServiceClient::upgradeState(const QString& ip, const S::Token& token, UpgradeState* state)
{
    const OnvifTransport::Call call =
        transport.soap(ip, Ns::Wall, onvifRequest(Ns::Wall, QStringLiteral("GetUpgradeState")), &token);
    if (!call.ok())
        return false;
    state->state = call.message.payload.childText(Ns::Wall, QStringLiteral("State"));
    state->percent = call.message.payload.childInt(Ns::Wall, QStringLiteral("Percent"), 0);
    state->code = call.message.payload.childInt(Ns::Wall, QStringLiteral("Code"), 1);
    return true;
}

} // namespace pral_matrix
