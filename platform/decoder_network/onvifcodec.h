#pragma once

#include "decoder_network_global.h"
#include "decoderbackend.h"
#include "matrixrecords.h"
#include "xmlnode.h"

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
public:
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
    /** false when the scopes are not those of a decoder of ours. */
    static bool readDecoderScopes(const QStringList& scopes, MatrixInfo* info);

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
