#pragma once

#include <QString>

/**
 * Writes a firmware upgrade file for decoders of model that carries version, the way a maker ships one.
 * Every test that needs a firmware file makes it here, so that the file's format lives in one place.
 * Returns false when the file cannot be written.
 */
bool writeFirmwareFile(const QString& path, const QString& model, const QString& version);
