#pragma once

#include <QByteArray>
#include <QString>

/**
 * Fills an empty store with what an operator would have after adding every
 * activated decoder of the simulated fleet and taking over the TV walls they
 * hold, so that a demonstration starts on a working page. A store that holds
 * anything is left alone. Returns false with *error when the fleet is unusable.
 */
bool seedDemoStore(const QByteArray& fleetJson, QString* error);
