#pragma once

#include "csharedhandle.h"
#include "decoder_service_global.h"

#include <QList>
#include <QMap>
#include <QMetaType>
#include <QSharedPointer>
#include <QString>
#include <QVariantList>

#include <cstddef>
#include <cstdint>
#include <type_traits>

/*
 * The records shared by the decoder service and its clients. Field order is
 * declaration order; the fixed-size records are byte-exact images of what a
 * decoder exchanges, so their sizes and offsets are checked below.
 */

/** Network settings of one decoder; character fields hold NUL-terminated Latin-1 text. */
struct DeviceNetworkCfg_t
{
    unsigned char deviceHeader[88];
    char ipv4Addr[16];
    char ipv4Mask[16];
    char ipv4Gateway[16];
    char ipv6Addr[48];
    int32_t ipv6PrefixLen;
    char ipv6Gateway[48];
    char dns[16];
    unsigned char deviceTrailer[128];
};

/** One device of a firmware upgrade; every byte that is not a named field stays zero. */
struct DeviceInfo_t
{
    unsigned char reserved0[4];
    char deviceId[32];
    unsigned char reserved1[112];
    char ip[16];
    unsigned char reserved2[2052];
    char userName[32];
    char password[32];
    unsigned char reserved3[36];
    int32_t extraValue;
    unsigned char reserved4[8];
};

/** Current output resolution as a decoder reports it. */
struct ScreenResolution_t
{
    int32_t width;
    int32_t height;
    int32_t frameRate;
};

static_assert(sizeof(DeviceNetworkCfg_t) == 380, "DeviceNetworkCfg_t is a 380-byte wire record");
static_assert(offsetof(DeviceNetworkCfg_t, ipv4Addr) == 88, "layout");
static_assert(offsetof(DeviceNetworkCfg_t, ipv4Mask) == 104, "layout");
static_assert(offsetof(DeviceNetworkCfg_t, ipv4Gateway) == 120, "layout");
static_assert(offsetof(DeviceNetworkCfg_t, ipv6Addr) == 136, "layout");
static_assert(offsetof(DeviceNetworkCfg_t, ipv6PrefixLen) == 184, "layout");
static_assert(offsetof(DeviceNetworkCfg_t, ipv6Gateway) == 188, "layout");
static_assert(offsetof(DeviceNetworkCfg_t, dns) == 236, "layout");
static_assert(offsetof(DeviceNetworkCfg_t, deviceTrailer) == 252, "layout");
static_assert(std::is_trivially_copyable<DeviceNetworkCfg_t>::value, "wire record");

static_assert(sizeof(DeviceInfo_t) == 2328, "DeviceInfo_t is a 2328-byte wire record");
static_assert(offsetof(DeviceInfo_t, deviceId) == 4, "layout");
static_assert(offsetof(DeviceInfo_t, ip) == 148, "layout");
static_assert(offsetof(DeviceInfo_t, userName) == 2216, "layout");
static_assert(offsetof(DeviceInfo_t, password) == 2248, "layout");
static_assert(offsetof(DeviceInfo_t, extraValue) == 2316, "layout");
static_assert(std::is_trivially_copyable<DeviceInfo_t>::value, "wire record");

static_assert(sizeof(ScreenResolution_t) == 12, "three int32");

namespace pral_matrix {

using ::DeviceInfo_t;
using ::DeviceNetworkCfg_t;
using ::ScreenResolution_t;

/** Kind of decoder; only 1 and 3 offer outputs for binding. */
enum MatrixType : int32_t
{
    MATRIX_TYPE_UNKNOWN = -1,
    /** A device without a video output (a camera, a recorder): listed and managed, never offered for walls.
     */
    MATRIX_TYPE_NO_OUTPUT = 0,
    /** One output whose id is the decoder's address. */
    MATRIX_TYPE_SINGLE_OUTPUT = 1,
    /** Numbered outputs, ids "address-n". */
    MATRIX_TYPE_MULTI_OUTPUT = 3,
};

/** Result codes of the service; 0 is success. */
enum ServiceResult : int
{
    RESULT_OK = 0,
    /** Nothing answers at that address, or the address is malformed. */
    RESULT_NO_DEVICE = -1,
    /** The handle is null or no longer the decoder's live connection. */
    RESULT_BAD_HANDLE = -2,
    /** A value or file the decoder does not accept. */
    RESULT_BAD_ARGUMENT = -3,
    /** The decoder refused the connection. */
    RESULT_REFUSED = -4,
    /** A file could not be read or written. */
    RESULT_IO_ERROR = -5,
    /** Another decoder already uses the address. */
    RESULT_ADDRESS_IN_USE = -6,
    /** The device is already activated. */
    RESULT_ALREADY_ACTIVE = -7,
    /** No back end is installed, or the service is shutting down. */
    RESULT_UNAVAILABLE = -8,
    /** The decoder reports no TV wall. */
    RESULT_NO_LAYOUT = -9,
    /** A firmware upgrade stopped after a failure report. */
    RESULT_UPGRADE_FAILED = -10,
    /** The decoder (or the back end) does not offer what was asked. */
    RESULT_UNSUPPORTED = -11,
    RESULT_WRONG_PASSWORD = -22,
    RESULT_USER_LOCKED = -23,
    RESULT_NOT_ACTIVATED = -24,
};

/** One output of a decoder. */
struct OutputInfo
{
    int32_t outputId = 0;
    int32_t outputNo = 0;
    int32_t outputSpare = 0;
};

/** One decoder; inside a TvWallManagement, one bound screen. */
struct MatrixInfo
{
    MatrixType matrixType = MATRIX_TYPE_UNKNOWN;
    // A value no device ever reports, so that "never set" differs from "empty".
    QString deviceId = QString(QChar(ushort(0xFFFF)));
    QString ip;
    int32_t spare1 = 0;
    int32_t spare2 = 0;
    int32_t spare3 = 0;
    QString userName;
    QString password;
    QList<OutputInfo> outputList;
    QList<MatrixInfo> subMatrixList;
    int32_t column = -1;
    int32_t row = -1;
    int32_t extraValue = 0;
    int32_t channel = 0;
    int32_t channelCount = 0;
    bool activated = false;
    /** 0 not connected yet, 1 connected, 2 failed or lost. */
    int32_t connectStatus = 0;
    int64_t spare4 = 0;
    QString version;
};

/** One TV wall: a grid of screens, each bound to a decoder output. */
struct TvWallManagement
{
    QString tvWallName;
    QString mainIp;
    int32_t row = 0;
    int32_t col = 0;
    /** Row-major: index = row * col + column. */
    QList<MatrixInfo> matrixInfoList;
    MatrixInfo mainMatrix;
    bool connected = false;
};

struct ScreenColor
{
    int32_t brightness = 87;
    int32_t contrast = 87;
    int32_t chroma = 87;
    int32_t sharpness = 87;
};

struct ScreenResolution
{
    int32_t width;
    int32_t height;
    int32_t frameRate;
};

struct ScreenResolutionInfo
{
    int32_t screenRow;
    int32_t screenColumn;
    ScreenResolution resolution;
    bool extraFlag = false;
};

static_assert(sizeof(ScreenColor) == 16, "four int32");
static_assert(sizeof(ScreenResolution) == 12, "three int32");
static_assert(offsetof(ScreenResolutionInfo, resolution) == 8, "layout");
static_assert(std::is_trivially_copyable<OutputInfo>::value, "plain data");
static_assert(std::is_trivially_copyable<ScreenColor>::value, "plain data");
static_assert(std::is_trivially_copyable<ScreenResolutionInfo>::value, "plain data");

struct WindowScreenInfo
{
    int32_t screenNo = -1;
    int32_t column = 0;
    int32_t row = 0;
};

/** One signal source of a window; sourceSlot -1 marks a free entry. */
struct WindowSourceInfo
{
    int32_t sourceSlot = -1;
    int32_t sourceParam2 = 0;
    int32_t sourceParam3 = -1;
    int32_t sourceKind = 0;
    QString sourceName;
    QString sourceText6;
    int32_t sourceParam7 = -1;
    int32_t sourceParam8 = -1;
    int32_t sourceParam9 = 0;
    QString pictureName;
    QString sourceText11;
    int32_t sourceParam12 = 0;
    QString picturePath;
    QString sourceText14;
    QString sourceText15;
    int32_t pictureMode = 0;
    int32_t sourceParam17 = 0;
    QString sourceText18;
    QString sourceText19;
};

/** A window opened on the wall; positions are in units where the wall is 32768 wide and high. */
struct MatrixWindowInfo
{
    int32_t windowParam1 = -1;
    int32_t windowParam2 = -1;
    int32_t windowParam3 = 1;
    int32_t windowParam4 = -1;
    int32_t windowParam5 = -1;
    int32_t columnCount = 1;
    int32_t rowCount = 1;
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t windowParam12 = 0;
    QList<WindowSourceInfo> sourceList;
    QList<WindowScreenInfo> screenList;
    QVariantList windowExtList;
};

/** Why a login failed; each number is -1 when the decoder did not report it. */
struct ConnectErrorMsgInfo
{
    /** "PASSWDERR", "USERLOCK", "DEVNOACTIVE" or another text for an unknown error. */
    QString errorType;
    int32_t errorCount = -1;
    int32_t lockThreshold = -1;
    int32_t lockMinutes = -1;
    int32_t unlockSeconds = -1;
};

using MatrixInfoMap = QMap<QString, MatrixInfo>;
using MatrixInfoList = QList<MatrixInfo>;
using CMHandle = QSharedPointer<CSharedHandle>;

/**
 * Registers the records with the meta-type system under the names that
 * signal and slot signatures use. Idempotent; the service calls it when it
 * starts, clients may call it earlier.
 */
DECODER_SERVICE_EXPORT void registerMatrixMetaTypes();

} // namespace pral_matrix

// Clients write these in signatures without the namespace.
using pral_matrix::CMHandle;
using pral_matrix::MatrixInfoList;
using pral_matrix::MatrixInfoMap;

Q_DECLARE_METATYPE(pral_matrix::MatrixInfo)
Q_DECLARE_METATYPE(pral_matrix::TvWallManagement)
Q_DECLARE_METATYPE(pral_matrix::ConnectErrorMsgInfo)
Q_DECLARE_METATYPE(pral_matrix::ScreenColor)
Q_DECLARE_METATYPE(pral_matrix::ScreenResolution)
Q_DECLARE_METATYPE(pral_matrix::ScreenResolutionInfo)
Q_DECLARE_METATYPE(pral_matrix::MatrixWindowInfo)
Q_DECLARE_METATYPE(pral_matrix::OutputInfo)
Q_DECLARE_METATYPE(ScreenResolution_t)
Q_DECLARE_METATYPE(DeviceNetworkCfg_t)
Q_DECLARE_METATYPE(DeviceInfo_t)
