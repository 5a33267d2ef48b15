#include "onvifcodec.h"

#include "onvifnamespaces.h"
#include "soapenvelope.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QUrl>

#include <algorithm>

namespace pral_matrix {

namespace {

const QString ScopeRoot = QStringLiteral("tvwall://decoder/");

using S = SoapEnvelope;

struct IntField
{
    const char* name;
    int32_t MatrixWindowInfo::*member;
};
struct SourceInt
{
    const char* name;
    int32_t WindowSourceInfo::*member;
};
struct SourceText
{
    const char* name;
    QString WindowSourceInfo::*member;
};

const IntField WindowInts[] = {
    {"Param1", &MatrixWindowInfo::windowParam1},
    {"Param2", &MatrixWindowInfo::windowParam2},
    {"Param3", &MatrixWindowInfo::windowParam3},
    {"Param4", &MatrixWindowInfo::windowParam4},
    {"Param5", &MatrixWindowInfo::windowParam5},
    {"Columns", &MatrixWindowInfo::columnCount},
    {"Rows", &MatrixWindowInfo::rowCount},
    {"X", &MatrixWindowInfo::x},
    {"Y", &MatrixWindowInfo::y},
    {"Width", &MatrixWindowInfo::width},
    {"Height", &MatrixWindowInfo::height},
    {"Param12", &MatrixWindowInfo::windowParam12},
};
const SourceInt SourceInts[] = {
    {"Slot", &WindowSourceInfo::sourceSlot},         {"Param2", &WindowSourceInfo::sourceParam2},
    {"Param3", &WindowSourceInfo::sourceParam3},     {"Kind", &WindowSourceInfo::sourceKind},
    {"Param7", &WindowSourceInfo::sourceParam7},     {"Param8", &WindowSourceInfo::sourceParam8},
    {"Param9", &WindowSourceInfo::sourceParam9},     {"Param12", &WindowSourceInfo::sourceParam12},
    {"PictureMode", &WindowSourceInfo::pictureMode}, {"Param17", &WindowSourceInfo::sourceParam17},
};
const SourceText SourceTexts[] = {
    {"Name", &WindowSourceInfo::sourceName},         {"Text6", &WindowSourceInfo::sourceText6},
    {"PictureName", &WindowSourceInfo::pictureName}, {"Text11", &WindowSourceInfo::sourceText11},
    {"PicturePath", &WindowSourceInfo::picturePath}, {"Text14", &WindowSourceInfo::sourceText14},
    {"Text15", &WindowSourceInfo::sourceText15},     {"Text18", &WindowSourceInfo::sourceText18},
    {"Text19", &WindowSourceInfo::sourceText19},
};

QString scopeValue(const QStringList& scopes, const QString& key)
{
    const QString prefix = ScopeRoot + key + QLatin1Char('/');
    for (const QString& s : scopes) {
        if (s.startsWith(prefix))
            return QUrl::fromPercentEncoding(s.mid(prefix.size()).toUtf8());
    }
    return QString();
}

QString scope(const QString& key, const QString& value)
{
    return ScopeRoot + key + QLatin1Char('/') + QString::fromLatin1(QUrl::toPercentEncoding(value));
}

} // namespace

void OnvifCodec::writeWall(QXmlStreamWriter& w, const DecoderBackend::Layout& layout)
{
    w.writeStartElement(Ns::Wall, QStringLiteral("Wall"));
    w.writeAttribute(QStringLiteral("Name"), layout.name);
    w.writeAttribute(QStringLiteral("MainIp"), layout.mainIp);
    w.writeAttribute(QStringLiteral("Type"), QString::number(layout.mainType));
    w.writeAttribute(QStringLiteral("Rows"), QString::number(layout.rows));
    w.writeAttribute(QStringLiteral("Columns"), QString::number(layout.cols));
    for (const MatrixInfo& s : layout.screens) {
        w.writeStartElement(Ns::Wall, QStringLiteral("Screen"));
        w.writeAttribute(QStringLiteral("Ip"), s.ip);
        w.writeAttribute(QStringLiteral("Channel"), QString::number(s.channel));
        w.writeAttribute(QStringLiteral("Row"), QString::number(s.row));
        w.writeAttribute(QStringLiteral("Column"), QString::number(s.column));
        w.writeAttribute(QStringLiteral("Type"), QString::number(int(s.matrixType)));
        w.writeEndElement();
    }
    w.writeEndElement();
}

DecoderBackend::Layout OnvifCodec::readWall(const XmlNode& wall)
{
    DecoderBackend::Layout layout;
    if (wall.isNull())
        return layout;
    layout.result = RESULT_OK;
    layout.name = wall.attributes.value(QStringLiteral("Name"));
    layout.mainIp = wall.attributes.value(QStringLiteral("MainIp"));
    layout.mainType = wall.attributeInt(QStringLiteral("Type"), MATRIX_TYPE_UNKNOWN);
    layout.rows = wall.attributeInt(QStringLiteral("Rows"), 0);
    layout.cols = wall.attributeInt(QStringLiteral("Columns"), 0);
    for (const XmlNode* s : wall.all(Ns::Wall, QStringLiteral("Screen"))) {
        MatrixInfo screen;
        screen.ip = s->attributes.value(QStringLiteral("Ip"));
        screen.channel = s->attributeInt(QStringLiteral("Channel"), 0);
        screen.row = s->attributeInt(QStringLiteral("Row"), -1);
        screen.column = s->attributeInt(QStringLiteral("Column"), -1);
        screen.matrixType = MatrixType(s->attributeInt(QStringLiteral("Type"), MATRIX_TYPE_UNKNOWN));
        layout.screens.append(screen);
    }
    return layout;
}

void OnvifCodec::writeColor(QXmlStreamWriter& w, const ScreenColor& color)
{
    w.writeStartElement(Ns::Wall, QStringLiteral("ImagingSettings"));
    S::writeInt(w, Ns::Schema, QStringLiteral("Brightness"), color.brightness);
    S::writeInt(w, Ns::Schema, QStringLiteral("ColorSaturation"), color.chroma);
    S::writeInt(w, Ns::Schema, QStringLiteral("Contrast"), color.contrast);
    S::writeInt(w, Ns::Schema, QStringLiteral("Sharpness"), color.sharpness);
    w.writeEndElement();
}

bool OnvifCodec::readColor(const XmlNode& settings, ScreenColor* color)
{
    constexpr int Missing = INT_MIN;
    color->brightness = settings.childInt(Ns::Schema, QStringLiteral("Brightness"), Missing);
    color->chroma = settings.childInt(Ns::Schema, QStringLiteral("ColorSaturation"), Missing);
    color->contrast = settings.childInt(Ns::Schema, QStringLiteral("Contrast"), Missing);
    color->sharpness = settings.childInt(Ns::Schema, QStringLiteral("Sharpness"), Missing);
    return color->brightness != Missing && color->chroma != Missing && color->contrast != Missing &&
           color->sharpness != Missing;
}

void OnvifCodec::writeResolution(QXmlStreamWriter& w, const ScreenResolution_t& resolution)
{
    w.writeStartElement(Ns::Wall, QStringLiteral("Resolution"));
    S::writeInt(w, Ns::Schema, QStringLiteral("Width"), resolution.width);
    S::writeInt(w, Ns::Schema, QStringLiteral("Height"), resolution.height);
    S::writeInt(w, Ns::Wall, QStringLiteral("RefreshRate"), resolution.frameRate);
    w.writeEndElement();
}

bool OnvifCodec::readResolution(const XmlNode& parent, ScreenResolution_t* resolution)
{
    const XmlNode& r = parent.child(Ns::Wall, QStringLiteral("Resolution"));
    resolution->width = r.childInt(Ns::Schema, QStringLiteral("Width"), -1);
    resolution->height = r.childInt(Ns::Schema, QStringLiteral("Height"), -1);
    resolution->frameRate = r.childInt(Ns::Wall, QStringLiteral("RefreshRate"), -1);
    return !r.isNull() && resolution->width >= 0 && resolution->height >= 0 && resolution->frameRate >= 0;
}

void OnvifCodec::writeWindow(QXmlStreamWriter& w, const MatrixWindowInfo& window)
{
    w.writeStartElement(Ns::Wall, QStringLiteral("Window"));
    for (const IntField& f : WindowInts)
        w.writeAttribute(QLatin1String(f.name), QString::number(window.*f.member));
    for (const WindowSourceInfo& source : window.sourceList) {
        w.writeStartElement(Ns::Wall, QStringLiteral("Source"));
        for (const SourceInt& f : SourceInts)
            w.writeAttribute(QLatin1String(f.name), QString::number(source.*f.member));
        for (const SourceText& f : SourceTexts)
            w.writeAttribute(QLatin1String(f.name), source.*f.member);
        w.writeEndElement();
    }
    for (const WindowScreenInfo& screen : window.screenList) {
        w.writeStartElement(Ns::Wall, QStringLiteral("Screen"));
        w.writeAttribute(QStringLiteral("No"), QString::number(screen.screenNo));
        w.writeAttribute(QStringLiteral("Column"), QString::number(screen.column));
        w.writeAttribute(QStringLiteral("Row"), QString::number(screen.row));
        w.writeEndElement();
    }
    w.writeEndElement();
}

MatrixWindowInfo OnvifCodec::readWindow(const XmlNode& node)
{
    MatrixWindowInfo window;
    for (const IntField& f : WindowInts)
        window.*f.member = node.attributeInt(QLatin1String(f.name), window.*f.member);
    for (const XmlNode* s : node.all(Ns::Wall, QStringLiteral("Source"))) {
        WindowSourceInfo source;
        for (const SourceInt& f : SourceInts)
            source.*f.member = s->attributeInt(QLatin1String(f.name), source.*f.member);
        for (const SourceText& f : SourceTexts)
            source.*f.member = s->attributes.value(QLatin1String(f.name));
        window.sourceList.append(source);
    }
    for (const XmlNode* s : node.all(Ns::Wall, QStringLiteral("Screen"))) {
        window.screenList.append(WindowScreenInfo{s->attributeInt(QStringLiteral("No"), -1),
                                                  s->attributeInt(QStringLiteral("Column"), 0),
                                                  s->attributeInt(QStringLiteral("Row"), 0)});
    }
    return window;
}

void OnvifCodec::writeLoginRefusal(QXmlStreamWriter& w, const ConnectErrorMsgInfo& error)
{
    w.writeStartElement(Ns::Wall, QStringLiteral("LoginRefusal"));
    S::writeText(w, Ns::Wall, QStringLiteral("Kind"), error.errorType);
    S::writeInt(w, Ns::Wall, QStringLiteral("ErrorCount"), error.errorCount);
    S::writeInt(w, Ns::Wall, QStringLiteral("LockThreshold"), error.lockThreshold);
    S::writeInt(w, Ns::Wall, QStringLiteral("LockMinutes"), error.lockMinutes);
    S::writeInt(w, Ns::Wall, QStringLiteral("UnlockSeconds"), error.unlockSeconds);
    w.writeEndElement();
}

bool OnvifCodec::readLoginRefusal(const XmlNode& detail, ConnectErrorMsgInfo* error)
{
    const XmlNode& r = detail.child(Ns::Wall, QStringLiteral("LoginRefusal"));
    if (r.isNull())
        return false;
    error->errorType = r.childText(Ns::Wall, QStringLiteral("Kind"));
    error->errorCount = r.childInt(Ns::Wall, QStringLiteral("ErrorCount"), -1);
    error->lockThreshold = r.childInt(Ns::Wall, QStringLiteral("LockThreshold"), -1);
    error->lockMinutes = r.childInt(Ns::Wall, QStringLiteral("LockMinutes"), -1);
    error->unlockSeconds = r.childInt(Ns::Wall, QStringLiteral("UnlockSeconds"), -1);
    return true;
}

QStringList OnvifCodec::decoderScopes(const MatrixInfo& info)
{
    QStringList outputs;
    for (const OutputInfo& o : info.outputList)
        outputs << QStringLiteral("%1:%2").arg(o.outputId).arg(o.outputNo);
    return {QStringLiteral("onvif://www.onvif.org/type/video_decoder"),
            QStringLiteral("onvif://www.onvif.org/name/") +
                QString::fromLatin1(QUrl::toPercentEncoding(info.deviceId)),
            scope(QStringLiteral("id"), info.deviceId),
            scope(QStringLiteral("kind"), QString::number(int(info.matrixType))),
            scope(QStringLiteral("channels"), QString::number(info.channelCount)),
            scope(QStringLiteral("outputs"), outputs.join(QLatin1Char(','))),
            scope(QStringLiteral("version"), info.version),
            scope(QStringLiteral("activated"),
                  info.activated ? QStringLiteral("true") : QStringLiteral("false"))};
}

bool OnvifCodec::readDecoderScopes(const QStringList& scopes, MatrixInfo* info, QString* refused)
{
    const QString id = scopeValue(scopes, QStringLiteral("id"));
    bool kindOk = false;
    const int kind = scopeValue(scopes, QStringLiteral("kind")).toInt(&kindOk);
    if (id.isEmpty() || !kindOk)
        return false;
    info->deviceId = id;
    info->matrixType = MatrixType(kind);
    QString why;
    const QString channels = scopeValue(scopes, QStringLiteral("channels"));
    bool channelsOk = channels.isEmpty();
    info->channelCount = channels.isEmpty() ? 0 : channels.toInt(&channelsOk);
    if (!channelsOk)
        why = tr("a channel count of %1").arg(channels.left(20));
    info->version = scopeValue(scopes, QStringLiteral("version"));
    info->activated = scopeValue(scopes, QStringLiteral("activated")) == QLatin1String("true");
    info->outputList.clear();
    const QStringList outputs =
        scopeValue(scopes, QStringLiteral("outputs")).split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (why.isEmpty() && outputs.size() > MaxChannels)
        why = tr("%1 outputs (at most %2)").arg(outputs.size()).arg(MaxChannels);
    for (int i = 0; why.isEmpty() && i < outputs.size(); ++i) {
        const QStringList parts = outputs.at(i).split(QLatin1Char(':'));
        bool idOk = false;
        bool noOk = false;
        const OutputInfo output{parts.size() == 2 ? parts.at(0).toInt(&idOk) : 0,
                                parts.size() == 2 ? parts.at(1).toInt(&noOk) : 0, 0};
        if (!idOk || !noOk)
            why = tr("an output \"%1\"").arg(outputs.at(i).left(40));
        info->outputList.append(output);
    }
    if (why.isEmpty())
        checkDecoder(*info, &why);
    if (!why.isEmpty()) {
        if (refused)
            *refused = why;
        return false;
    }
    return true;
}

bool OnvifCodec::checkVersion(const QString& version, QString* why)
{
    if (version.size() <= MaxVersionChars)
        return true;
    *why = tr("a version of %1 characters (at most %2)").arg(version.size()).arg(MaxVersionChars);
    return false;
}

bool OnvifCodec::checkMatrixType(int type, QString* why)
{
    if (type == MATRIX_TYPE_SINGLE_OUTPUT || type == MATRIX_TYPE_MULTI_OUTPUT ||
        type == MATRIX_TYPE_NO_OUTPUT)
        return true;
    *why = tr("the decoder kind %1 (0, 1 or 3)").arg(type);
    return false;
}

bool OnvifCodec::checkDecoder(const MatrixInfo& info, QString* why)
{
    const QByteArray id = info.deviceId.toLocal8Bit();
    const bool printable =
        std::all_of(info.deviceId.begin(), info.deviceId.end(), [](QChar c) { return c.isPrint(); });
    if (id.isEmpty() || id.size() > MaxDeviceIdBytes || !printable) {
        *why = tr("a device id of %1 bytes (1 to %2 printable)").arg(id.size()).arg(MaxDeviceIdBytes);
        return false;
    }
    if (!checkMatrixType(info.matrixType, why))
        return false;
    if (info.channelCount < 0 || info.channelCount > MaxChannels) {
        *why = tr("%1 channels (0 to %2)").arg(info.channelCount).arg(MaxChannels);
        return false;
    }
    if (info.outputList.size() > MaxChannels) {
        *why = tr("%1 outputs (at most %2)").arg(info.outputList.size()).arg(MaxChannels);
        return false;
    }
    for (const OutputInfo& o : info.outputList) {
        if (o.outputNo < 1 || o.outputNo > MaxChannels || o.outputId < 0) {
            *why = tr("the output %1 numbered %2 (1 to %3)").arg(o.outputId).arg(o.outputNo).arg(MaxChannels);
            return false;
        }
    }
    return checkVersion(info.version, why);
}

bool OnvifCodec::checkAddressField(const QString& text, int size,
                                   QAbstractSocket::NetworkLayerProtocol protocol, QString* why)
{
    if (text.isEmpty())
        return true;
    QHostAddress address;
    if (text.toLatin1().size() < size && address.setAddress(text) && address.protocol() == protocol)
        return true;
    *why = tr("the address \"%1\"").arg(text.left(60));
    return false;
}

bool OnvifCodec::checkWall(const DecoderBackend::Layout& layout, QString* why)
{
    if (layout.rows < 1 || layout.rows > MaxWallRows || layout.cols < 1 || layout.cols > MaxWallColumns) {
        *why = tr("a wall of %1 x %2 screens (1 to %3 each way)")
                   .arg(layout.rows)
                   .arg(layout.cols)
                   .arg(qMax(MaxWallRows, MaxWallColumns));
        return false;
    }
    const int nameBytes = layout.name.toUtf8().size();
    if (nameBytes > MaxWallNameBytes) {
        *why = tr("a wall name of %1 bytes (at most %2)").arg(nameBytes).arg(MaxWallNameBytes);
        return false;
    }
    const auto typeOk = [](int type) {
        return type == MATRIX_TYPE_UNKNOWN || type == MATRIX_TYPE_SINGLE_OUTPUT ||
               type == MATRIX_TYPE_MULTI_OUTPUT;
    };
    if (!typeOk(layout.mainType)) {
        *why = tr("the decoder kind %1 (1 or 3)").arg(layout.mainType);
        return false;
    }
    if (!checkAddressField(layout.mainIp, 16, QAbstractSocket::IPv4Protocol, why))
        return false;
    if (layout.screens.size() > layout.rows * layout.cols) {
        *why = tr("%1 screens on a wall of %2 x %3")
                   .arg(layout.screens.size())
                   .arg(layout.rows)
                   .arg(layout.cols);
        return false;
    }
    for (const MatrixInfo& s : layout.screens) {
        if (s.row < 0 || s.row >= layout.rows || s.column < 0 || s.column >= layout.cols) {
            *why = tr("a screen at row %1, column %2 of a wall of %3 x %4")
                       .arg(s.row)
                       .arg(s.column)
                       .arg(layout.rows)
                       .arg(layout.cols);
            return false;
        }
        if (s.channel < 0 || s.channel > MaxChannels) {
            *why = tr("the channel %1 of a screen (0 to %2)").arg(s.channel).arg(MaxChannels);
            return false;
        }
        if (!typeOk(s.matrixType)) {
            *why = tr("the decoder kind %1 (1 or 3)").arg(int(s.matrixType));
            return false;
        }
        if (!checkAddressField(s.ip, 16, QAbstractSocket::IPv4Protocol, why))
            return false;
    }
    return true;
}

bool OnvifCodec::checkColor(const ScreenColor& color, QString* why)
{
    for (int value : {color.brightness, color.contrast, color.chroma, color.sharpness}) {
        if (value < 0 || value > MaxColorValue) {
            *why = tr("a colour value of %1 (0 to %2)").arg(value).arg(MaxColorValue);
            return false;
        }
    }
    return true;
}

bool OnvifCodec::checkResolution(const ScreenResolution_t& r, QString* why)
{
    if (r.width >= 0 && r.width <= MaxPixels && r.height >= 0 && r.height <= MaxPixels && r.frameRate >= 0 &&
        r.frameRate <= MaxFrameRate)
        return true;
    *why = tr("a resolution of %1 x %2 at %3 Hz").arg(r.width).arg(r.height).arg(r.frameRate);
    return false;
}

bool OnvifCodec::checkLoginRefusal(const ConnectErrorMsgInfo& e, QString* why)
{
    if (e.errorType.size() > MaxRefusalKindChars) {
        *why = tr("a login refusal of the kind \"%1\"").arg(e.errorType.left(40));
        return false;
    }
    const auto within = [](int value, int most) {
        return value == -1 || (value >= 0 && value <= most);
    };
    if (within(e.errorCount, MaxTries) && within(e.lockThreshold, MaxTries) &&
        within(e.lockMinutes, MaxLockMinutes) && within(e.unlockSeconds, MaxLockMinutes * 60))
        return true;
    *why = tr("a login refusal counting %1 tries of %2, a lock of %3 minutes and %4 seconds left")
               .arg(e.errorCount)
               .arg(e.lockThreshold)
               .arg(e.lockMinutes)
               .arg(e.unlockSeconds);
    return false;
}

QString OnvifCodec::outputToken(int screenRow, int screenColumn)
{
    return QStringLiteral("VO-%1-%2").arg(screenRow).arg(screenColumn);
}

bool OnvifCodec::readOutputToken(const QString& token, int* screenRow, int* screenColumn)
{
    const QStringList parts = token.split(QLatin1Char('-'));
    bool rowOk = false;
    bool columnOk = false;
    if (parts.size() != 3 || parts.at(0) != QLatin1String("VO"))
        return false;
    *screenRow = parts.at(1).toInt(&rowOk);
    *screenColumn = parts.at(2).toInt(&columnOk);
    return rowOk && columnOk;
}

int OnvifCodec::prefixLength(const QString& mask)
{
    QHostAddress address;
    if (!address.setAddress(mask) || address.protocol() != QAbstractSocket::IPv4Protocol)
        return -1;
    const quint32 bits = address.toIPv4Address();
    const quint32 inverted = ~bits;
    if ((inverted & (inverted + 1)) != 0)
        return -1;
    int n = 0;
    for (quint32 b = bits; b & 0x80000000u; b <<= 1)
        ++n;
    return n;
}

QString OnvifCodec::maskFromPrefix(int prefix)
{
    if (prefix < 0 || prefix > 32)
        return QString();
    const quint32 bits = prefix == 0 ? 0 : ~quint32(0) << (32 - prefix);
    return QHostAddress(bits).toString();
}

void OnvifCodec::writeRestartCapabilities(QXmlStreamWriter& w, int bootId, const QString& configMarker)
{
    w.writeAttribute(QStringLiteral("BootId"), QString::number(bootId));
    if (!configMarker.isEmpty())
        w.writeAttribute(QStringLiteral("ConfigMarker"), configMarker);
}

void OnvifCodec::readRestartCapabilities(const XmlNode& capabilities, int* bootId, QString* configMarker)
{
    *bootId = capabilities.attributeInt(QStringLiteral("BootId"), -1);
    if (*bootId < 0)
        *bootId = -1;
    // A marker is a SHA-256 in hex; anything else is not passed on to the operator.
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{64}$"));
    const QString marker = capabilities.attributes.value(QStringLiteral("ConfigMarker"));
    *configMarker = hex.match(marker).hasMatch() ? marker : QString();
}

} // namespace pral_matrix
