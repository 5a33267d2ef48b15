#pragma once

#include "decoder_network_global.h"
#include "xmlnode.h"

#include <QCoreApplication>
#include <QMap>
#include <QStringList>
#include <QVector>
#include <QXmlStreamWriter>

namespace pral_matrix {

/**
 * @brief The device management service's records as both ends write and read
 * them: scopes, users, capabilities (GetCapabilities and the services'
 * GetServiceCapabilities). The shared wire format of the daemon's device and
 * device IO services and of the client that reads standard devices.
 *
 * Standard scopes are onvif://www.onvif.org/ followed by type/..., name/...,
 * hardware/... and location/...; a scope is fixed (type, hardware) or
 * configurable (name, location and any a client adds).
 */
class DECODER_NETWORK_EXPORT DeviceCodec
{
    Q_DECLARE_TR_FUNCTIONS(DeviceCodec)

public:
    /** Scopes one device keeps: ONVIF devices have a dozen; room for what an installer adds. */
    static constexpr int MaxScopes = 64;
    /** A scope is a URI of a few dozen characters. */
    static constexpr int MaxScopeLength = 256;
    /** Users one device keeps besides its administrator. */
    static constexpr int MaxUsers = 16;
    /** ONVIF's user names are short; a password of 64 characters is plenty. */
    static constexpr int MaxUserNameLength = 32;
    static constexpr int MaxPasswordLength = 64;

    struct Scope
    {
        QString item;
        bool fixed = false;
    };

    struct User
    {
        QString name;
        QString password;
        /** Administrator, Operator or User. */
        QString level = QStringLiteral("User");
    };

    /** What a standard scope list tells of a device. */
    struct Identity
    {
        QStringList types;
        QString name;
        QString hardware;
        QString location;
    };

    /** The XAddrs a GetCapabilities answer names, by service namespace (Ns::Device ...). */
    using XAddrs = QMap<QString, QString>;

    static QString scopeRoot();
    /** onvif://www.onvif.org/<kind>/<value>, the value percent-encoded. */
    static QString standardScope(const QString& kind, const QString& value);
    static Identity readIdentity(const QStringList& scopes);
    /** A scope a client may set: a URI of at most MaxScopeLength characters without spaces. */
    static bool isScope(const QString& scope);

    /** tds:Scopes, one per scope, into the open response. */
    static void writeScopes(QXmlStreamWriter& w, const QVector<Scope>& scopes);
    static QVector<Scope> readScopes(const XmlNode& response);
    /** The scopes of a SetScopes, AddScopes or RemoveScopes request (op): tds:Scopes for SetScopes,
     * tds:ScopeItem for the other two. */
    static void writeScopeItems(QXmlStreamWriter& w, const QString& op, const QStringList& items);
    /** The scopes of such a request, as its name says they come; false and *why for none, more than
     * MaxScopes or a bad URI. */
    static bool readScopeItems(const XmlNode& request, QStringList* items, QString* why);

    static bool isUserLevel(const QString& level);
    /** tds:User elements (Username, Password, UserLevel) of CreateUsers and SetUser; false and *why for a bad
     * one. */
    static bool readUsers(const XmlNode& request, QVector<User>* users, QString* why);
    /** tds:User elements of GetUsersResponse, without passwords. */
    static void writeUsers(QXmlStreamWriter& w, const QVector<User>& users);

    /** tds:Capabilities of GetCapabilities with the services' addresses (deviceio, display and receiver when
     * offered). */
    static void writeCapabilities(QXmlStreamWriter& w, const XAddrs& xaddrs, int videoOutputs);
    static XAddrs readCapabilities(const XmlNode& response);
    /** tds:Capabilities of the device service's GetServiceCapabilities. */
    static void writeDeviceServiceCapabilities(QXmlStreamWriter& w);
    /** tmd:Capabilities of the device IO service. */
    static void writeDeviceIoServiceCapabilities(QXmlStreamWriter& w, int videoOutputs);
};

} // namespace pral_matrix
