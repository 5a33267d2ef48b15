#pragma once

#include "onvifbackend.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace pral_matrix {
class DecoderDaemon;
class SimulatedFleet;
} // namespace pral_matrix

/**
 * @brief The back end the decoder-service tests run on: the in-process fleet,
 * or, with TVWALL_TEST_BACKEND=onvif (or onvif-standard), the same fleet served
 * by the decoder daemon on loopback and reached through the ONVIF back end.
 *
 * Over the network every decoder of 192.0.2.0/24 sits at the loopback address
 * with the same last number, on a port of its own for each test run; the
 * daemon's fleet takes the faults armed on the service.
 */
namespace ServiceBackend {

bool overNetwork();
/**
 * With TVWALL_TEST_BACKEND=onvif-standard the daemon serves only what ONVIF has (no extension of ours, no
 * scopes of ours), as another maker's decoder would: walls, scenes, identify, colours and test pictures are
 * refused, the rest works.
 */
bool standardOnly();
/** Where the fleet's decoder with address fleetIp is reached. */
QString address(const QString& fleetIp);
/** Replaces the service's back end with the fleet json describes; tune adjusts the network back end's
 * options. */
bool load(const QByteArray& fleetJson, QString* error,
          const std::function<void(pral_matrix::OnvifBackend::Options&)>& tune = {});
/**
 * Serves fleetJson (addresses as given) from a daemon on its own thread and installs an ONVIF back end
 * tuned by options (targets and ports are filled in); wire sees the back end before the service owns it.
 */
bool loadOverNetwork(const QByteArray& fleetJson, pral_matrix::OnvifBackend::Options options, QString* error,
                     const std::function<void(pral_matrix::OnvifBackend*)>& wire = {});
/** Runs fn on the daemon's thread and waits for it. */
void inDaemon(const std::function<void(pral_matrix::DecoderDaemon&)>& fn);
/**
 * Runs fn with the decoders load() made, where they live (the service thread, or the daemon's), and waits
 * for it: what a decoder does by itself (a reboot) is done there.
 */
void onFleet(const std::function<void(pral_matrix::SimulatedFleet&)>& fn);

} // namespace ServiceBackend
