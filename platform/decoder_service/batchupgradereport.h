#pragma once

#include "decoder_service_global.h"

#include <QList>
#include <QMetaType>
#include <QString>

namespace pral_matrix {

/** A firmware image as the checks before a batch of upgrades read it. */
struct DECODER_SERVICE_EXPORT FirmwareImageInfo
{
    /** Read whole, with a matching checksum. */
    bool sound = false;
    /** Why it is not sound. */
    QString problem;
    QString model;
    QString version;
};

/** One decoder as the checks before a batch of upgrades see it: what its live connection tells. */
struct DECODER_SERVICE_EXPORT DecoderFirmwareInfo
{
    QString ip;
    bool connected = false;
    /** Empty when the decoder did not tell. */
    QString model;
    QString version;
};

/**
 * @brief How the upgrade of one decoder of a batch goes on (MatrixSdkWorker::upgradeDecoder).
 *
 * Each decoder's reports come in this order: Sending (one per step), then
 * Restarting, Verifying and Done or Failed; a report of Done or Failed is the
 * last, and may come at any point.
 */
struct DECODER_SERVICE_EXPORT BatchUpgradeReport
{
    enum Stage
    {
        /** The image goes to the decoder, which installs it: percent tells how far. */
        Sending,
        /** The decoder took the image and restarts to run it. */
        Restarting,
        /** It answers again; the version it runs is being read. */
        Verifying,
        /** It runs the image's version (or already did: latest). */
        Done,
        Failed,
    };

    quint64 run = 0;
    QString ip;
    Stage stage = Sending;
    int percent = 0;
    /**
     * Failed before the restart: the code of the upgrade's failure report (1
     * to 9), or, when the upgrade could not start, the start's negative
     * result. 0 when the check after the restart failed (text says how).
     */
    int code = 0;
    /** Done without a change: the decoder already ran the image's version. */
    bool latest = false;
    /** The version the decoder reports after the upgrade; empty when it was not read. */
    QString version;
    /** After the restart: the outcome of the check, for the operator. */
    QString text;

    bool ended() const { return stage == Done || stage == Failed; }
};

} // namespace pral_matrix

Q_DECLARE_METATYPE(pral_matrix::FirmwareImageInfo)
Q_DECLARE_METATYPE(pral_matrix::DecoderFirmwareInfo)
Q_DECLARE_METATYPE(pral_matrix::BatchUpgradeReport)
