#pragma once

#include "matrix_config_global.h"

#include <QCoreApplication>
#include <QString>

namespace pral_matrixConfig {

/**
 * @brief Keeps the two ways of upgrading firmware apart: the window for one
 * decoder and the batch for many. While a window of one kind is open, one of
 * the other kind sends no image, so that no decoder is given two at once and
 * each window only ever reads the progress of its own upgrades.
 *
 * A window holds one for as long as it is open. GUI thread only.
 */
class MATRIX_CONFIG_EXPORT UpgradeExclusion
{
    Q_DECLARE_TR_FUNCTIONS(pral_matrixConfig::UpgradeExclusion)

public:
    enum Kind
    {
        Single,
        Batch,
    };

    explicit UpgradeExclusion(Kind kind);
    ~UpgradeExclusion();
    UpgradeExclusion(const UpgradeExclusion&) = delete;
    UpgradeExclusion& operator=(const UpgradeExclusion&) = delete;

    /** A window of the other kind is open now. */
    bool otherOpen() const;
    static bool isOpen(Kind kind);
    /** What the operator is told when a window of the other kind keeps this one from sending. */
    static QString refusal();

private:
    Kind kind;
};

} // namespace pral_matrixConfig
