#pragma once

#include <QString>

namespace pral_matrix {

/** The XML namespaces of the protocol; the prefixes are the ones every message declares. */
namespace Ns {
inline const QString Soap = QStringLiteral("http://www.w3.org/2003/05/soap-envelope");
inline const QString Device = QStringLiteral("http://www.onvif.org/ver10/device/wsdl");               // tds
inline const QString Schema = QStringLiteral("http://www.onvif.org/ver10/schema");                    // tt
inline const QString DeviceIo = QStringLiteral("http://www.onvif.org/ver10/deviceIO/wsdl");           // tmd
inline const QString Display = QStringLiteral("http://www.onvif.org/ver10/display/wsdl");             // tls
inline const QString Receiver = QStringLiteral("http://www.onvif.org/ver10/receiver/wsdl");           // trv
inline const QString Error = QStringLiteral("http://www.onvif.org/ver10/error");                      // ter
inline const QString Network = QStringLiteral("http://www.onvif.org/ver10/network/wsdl");             // dn
inline const QString Discovery = QStringLiteral("http://schemas.xmlsoap.org/ws/2005/04/discovery");   // d
inline const QString Addressing = QStringLiteral("http://schemas.xmlsoap.org/ws/2004/08/addressing"); // wsa
inline const QString Security = QStringLiteral(
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-secext-1.0.xsd"); // wsse
inline const QString Utility = QStringLiteral(
    "http://docs.oasis-open.org/wss/2004/01/oasis-200401-wss-wssecurity-utility-1.0.xsd"); // wsu
/** Our extension: walls, scenes, identify, colours, windows, pictures, upgrade state. */
inline const QString Wall = QStringLiteral("http://tvwall.example.org/ver10/wall/wsdl"); // tvw
} // namespace Ns

} // namespace pral_matrix
