#pragma once

#include <QByteArray>
#include <QString>

/**
 * @brief The back end the decoder-service tests run on: the in-process fleet,
 * or, with TVWALL_TEST_BACKEND=onvif, the same fleet served by the decoder
 * daemon on loopback and reached through the ONVIF back end.
 *
 * Over the network every decoder of 192.0.2.0/24 sits at the loopback address
 * with the same last number, on a port of its own for each test run; the
 * daemon's fleet takes the faults armed on the service.
 */
namespace ServiceBackend {

bool overNetwork();
/** Where the fleet's decoder with address fleetIp is reached. */
QString address(const QString& fleetIp);
/** Replaces the service's back end with the fleet json describes. */
bool load(const QByteArray& fleetJson, QString* error);

} // namespace ServiceBackend
