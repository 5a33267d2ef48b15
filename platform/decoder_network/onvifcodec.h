#pragma once

#include "decoder_network_global.h"
#include "decoderbackend.h"
#include "matrixrecords.h"
#include "xmlnode.h"

#include <QAbstractSocket>
#include <QCoreApplication>
#include <QXmlStreamWriter>

namespace pral_matrix {

/**
 * @brief The records as both ends of the protocol write and read them: the
 * element the writer makes is the element the reader takes.
 *
 * Colours use the ONVIF imaging field names (tt:Brightness, tt:ColorSaturation,
 * tt:Contrast, tt:Sharpness); walls, windows, resolutions and login refusals
 * live in our namespace; what discovery tells about a decoder rides in scopes.
 */
class DECODER_NETWORK_EXPORT OnvifCodec
{
    Q_DECLARE_TR_FUNCTIONS(OnvifCodec)

public:
    // What the records can hold, and so what a device's reply may carry. The check* functions
    // refuse anything else and name the first value they refused, for the operator's notice.
    /** The wizard lays out walls of 1 to 10 rows and columns. */
    static constexpr int MaxWallRows = 10;
    static constexpr int MaxWallColumns = 10;
    /** Outputs (channels) of one decoder: twice the largest decoder the fleet knows (64). */
    static constexpr int MaxChannels = 128;
    /** DeviceInfo_t.deviceId is char[32], NUL included. */
    static constexpr int MaxDeviceIdBytes = 31;
    /** A wall's name, in UTF-8, as the wizard allows it. */
    static constexpr int MaxWallNameBytes = 20;
    /** A version is one cell of the decoder table; real ones are a dozen characters. */
    static constexpr int MaxVersionChars = 64;
    /** A login refusal's kind is one of a few short words. */
    static constexpr int MaxRefusalKindChars = 32;
    /** Twice an 8K picture's width, and the highest refresh rate a screen has. */
    static constexpr int MaxPixels = 16384;
    static constexpr int MaxFrameRate = 240;
    /** Colour settings are percentages. */
    static constexpr int MaxColorValue = 100;
    /** Tries before a lock-out, and how long one lasts (a week at most). */
    static constexpr int MaxTries = 1000;
    static constexpr int MaxLockMinutes = 7 * 24 * 60;

    static bool checkWall(const DecoderBackend::Layout& layout, QString* why);
    static bool checkColor(const ScreenColor& color, QString* why);
    static bool checkResolution(const ScreenResolution_t& resolution, QString* why);
    static bool checkLoginRefusal(const ConnectErrorMsgInfo& error, QString* why);
    /** Device id, kind, channels, outputs and version of a decoder a search found. */
    static bool checkDecoder(const MatrixInfo& info, QString* why);
    static bool checkVersion(const QString& version, QString* why);
    static bool checkMatrixType(int type, QString* why);
    /** An address for a character field of size bytes (NUL included): empty, or IPv4 or IPv6 text that fits.
     */
    static bool checkAddressField(const QString& text, int size,
                                  QAbstractSocket::NetworkLayerProtocol protocol, QString* why);

    static void writeWall(QXmlStreamWriter& w, const DecoderBackend::Layout& layout);
    static DecoderBackend::Layout readWall(const XmlNode& wall);

    static void writeColor(QXmlStreamWriter& w, const ScreenColor& color);
    static bool readColor(const XmlNode& settings, ScreenColor* color);

    static void writeResolution(QXmlStreamWriter& w, const ScreenResolution_t& resolution);
    static bool readResolution(const XmlNode& parent, ScreenResolution_t* resolution);

    static void writeWindow(QXmlStreamWriter& w, const MatrixWindowInfo& window);
    static MatrixWindowInfo readWindow(const XmlNode& window);

    /** tvw:LoginRefusal: why a login failed, with the counters the operator is told. */
    static void writeLoginRefusal(QXmlStreamWriter& w, const ConnectErrorMsgInfo& error);
    static bool readLoginRefusal(const XmlNode& detail, ConnectErrorMsgInfo* error);

    /** What a search needs to know of a decoder, as scope URIs. */
    static QStringList decoderScopes(const MatrixInfo& info);
    /**
     * false when the scopes are not those of a decoder of ours; false and *refused too when they are but
     * carry values the records cannot hold (checkDecoder).
     */
    static bool readDecoderScopes(const QStringList& scopes, MatrixInfo* info, QString* refused = nullptr);

    /** Video output token of a screen: "VO-row-column"; false for anything else. */
    static QString outputToken(int screenRow, int screenColumn);
    static bool readOutputToken(const QString& token, int* screenRow, int* screenColumn);

    /**
     * Attributes of our capabilities element that tell a restart and the
     * configuration in use: BootId (changes with each restart) and
     * ConfigMarker (DecoderConfigFile::marker of the file imported last).
     * The reader leaves -1 and an empty text for what is missing or malformed.
     */
    static void writeRestartCapabilities(QXmlStreamWriter& w, int bootId, const QString& configMarker);
    static void readRestartCapabilities(const XmlNode& capabilities, int* bootId, QString* configMarker);

    /** 24 for 255.255.255.0; -1 for a text that is no contiguous mask. */
    static int prefixLength(const QString& mask);
    static QString maskFromPrefix(int prefix);
};

} // namespace pral_matrix
