#pragma once

#include "decoderbackend.h"
#include "onviftransport.h"

#include <QDateTime>
#include <QMutex>
#include <QSet>

namespace pral_matrix {

/**
 * @brief The calls of our extension service (tvw), for what ONVIF has no
 * operation for: walls across decoders, scenes, identify banners, screen
 * colours, windows of decoders without the Display service, test pictures,
 * the log types ONVIF lacks, the progress of an upgrade, the end of a
 * session and the confirmation of an address change.
 *
 * Each operation runs on the pool thread of the decoder's lane, over the
 * decoder's session, and checks what the decoder reports against what the
 * records hold before it returns it.
 */
class ExtensionServiceClient
{
public:
    /** Where an upgrade stands on one decoder. */
    struct UpgradeState
    {
        /** "Running", "Done", "Latest" or "Failed". */
        QString state;
        int percent = 0;
        /** The decoder's code of a failure. */
        int code = 1;
    };

    explicit ExtensionServiceClient(OnvifTransport& transport);

    /** Our capabilities element in a GetServices answer; a null node when the decoder has no extension. */
    static const XmlNode& capabilities(const SoapEnvelope::Message& services);

    DecoderBackend::Layout getWall(const QString& ip);
    int setWall(const QString& ip, const DecoderBackend::Layout& layout);
    int saveScene(const QString& ip, int sceneNo, const QString& name);
    int restoreScene(const QString& ip, int sceneNo);
    int removeScene(const QString& ip, int sceneNo);
    int checkScreen(const QString& ip, int location, bool open);
    int removeBanner(const QString& ip);
    int getScreenColor(const QString& ip, int screenRow, int screenColumn, ScreenColor* out);
    int setScreenColor(const QString& ip, int screenRow, int screenColumn, const ScreenColor& color);
    int addWindow(const QString& ip, const MatrixWindowInfo& window);
    int setWindowSource(const QString& ip, const MatrixWindowInfo& window, int windowId, bool show);
    /** The lines of a log type ONVIF has no log for (1 warning, 3 abnormal) within the span. */
    int log(const QString& ip, int logType, const QDateTime& begin, const QDateTime& end, QStringList* lines);
    /** Tells the decoder at url that the session with token is over; nobody waits for more. */
    void endSession(const QString& url, const SoapEnvelope::Token& token);
    /** 0 confirmed, RESULT_UNSUPPORTED when the decoder does not wait for it, or what got in the way. */
    int confirmNetworkChange(const QString& url, const SoapEnvelope::Token& token);
    /** false when the decoder did not answer (it may be restarting to install). */
    bool upgradeState(const QString& ip, const SoapEnvelope::Token& token, UpgradeState* state);
    /** What was uploaded to ip is not known to be there any more (a new session). */
    void forgetPictures(const QString& ip);
    /** Gives the decoder the files that window's picture sources name, and names them by token instead. */
    int uploadPictures(const QString& ip, MatrixWindowInfo* window);

private:
    int sessionResult(const QString& ip, const SoapEnvelope::Writer& body);

    OnvifTransport& transport;
    QMutex mutex;
    QSet<QString> uploadedPictures;
};

} // namespace pral_matrix
