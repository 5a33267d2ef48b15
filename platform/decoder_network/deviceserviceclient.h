#pragma once

#include "decoderbackend.h"
#include "onviftransport.h"

#include <QCoreApplication>
#include <QDateTime>

namespace pral_matrix {

/**
 * @brief The calls of ONVIF's device management service (tds), as the back
 * end makes them: the login sequence, users, the network settings, the
 * factory default, the system log, backup and restore, and the start of a
 * firmware upgrade.
 *
 * Each operation runs on the pool thread of the decoder's lane and blocks on
 * its exchanges; it reads every value of a reply within what the records
 * hold. Operations that change credentials or addresses only send; what that
 * does to the session is the back end's to decide.
 */
class DeviceServiceClient
{
    Q_DECLARE_TR_FUNCTIONS(DeviceServiceClient)

public:
    /** A login's result, and the session it opened when it succeeded. */
    struct LoginOutcome
    {
        DecoderBackend::Login login;
        OnvifTransport::Session session;
    };

    /** An address and its prefix length, as an interface of GetNetworkInterfaces holds it. */
    struct PrefixedAddress
    {
        QString address;
        int prefix = -1;
    };

    explicit DeviceServiceClient(OnvifTransport& transport);

    /**
     * The decoder's clock (for the tokens' creation time), who it is (GetDeviceInformation with the
     * credentials) and which services it offers where (GetServices).
     */
    LoginOutcome login(const QString& ip, const QString& userName, const QString& password);
    /** The first administrator of a device in its factory state: CreateUsers without credentials. */
    int createAdministrator(const QString& ip, const QString& password);
    /** A new password for userName, proved with the old one. */
    int setUser(const QString& ip, const QString& userName, const QString& oldPassword,
                const QString& newPassword, qint64 clockOffsetMs);
    /** Interfaces, name server and gateway, with the credentials the back end knows for ip. */
    int readNetwork(const QString& ip, DeviceNetworkCfg_t* cfg);
    /** Name server, gateway, then the interface: the last moves the decoder away. */
    int writeNetwork(const QString& ip, const SoapEnvelope::Token& token, const DeviceNetworkCfg_t& cfg);
    int factoryDefault(const QString& ip);
    /** The system (logType 0) or access (2) log's lines within the span. */
    int systemLog(const QString& ip, int logType, const QDateTime& begin, const QDateTime& end,
                  QStringList* lines);
    /** GetSystemUris and one of the files it names (SupportInfoUri, SystemBackupUri) into path. */
    int downloadSystemFile(const QString& ip, const QString& uriName, const QString& path);
    /**
     * StartSystemRestore and the file to the address it hands out. *broken when the transfer itself
     * broke off, which a decoder that restarts or drops out would do too.
     */
    int restore(const QString& ip, const QByteArray& content, bool* broken);
    /** StartFirmwareUpgrade and the image to the address it hands out, with these credentials. */
    int startFirmwareUpgrade(const QString& ip, const SoapEnvelope::Token& token, const QByteArray& image);
    /** GetDeviceInformation with token: the version a decoder reports, or empty when it did not answer. */
    int firmwareVersion(const QString& ip, const SoapEnvelope::Token& token, QString* version);

    /** GetSystemDateAndTime: how far ip's clock is from ours (0 within a few seconds), also kept for ip. */
    int readClock(const QString& ip, qint64* offsetMs);

private:
    /** The interface of GetNetworkInterfaces that a decoder's record shows. */
    struct NetworkReading
    {
        bool found = false;
        PrefixedAddress ipv4;
        PrefixedAddress ipv6;
        /** A value the records cannot hold. */
        QString why;
    };
    static NetworkReading readInterfaces(const QString& ip, const QVector<const XmlNode*>& interfaces);

    OnvifTransport& transport;
};

} // namespace pral_matrix
