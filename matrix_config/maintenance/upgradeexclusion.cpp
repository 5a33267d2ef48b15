#include "upgradeexclusion.h"

namespace pral_matrixConfig {

namespace {

int openWindows[2] = {0, 0};

} // namespace

UpgradeExclusion::UpgradeExclusion(Kind kind)
    : kind(kind)
{
    ++openWindows[kind];
}

UpgradeExclusion::~UpgradeExclusion()
{
    --openWindows[kind];
}

bool UpgradeExclusion::otherOpen() const
{
    return isOpen(kind == Single ? Batch : Single);
}

bool UpgradeExclusion::isOpen(Kind kind)
{
    return openWindows[kind] > 0;
}

QString UpgradeExclusion::refusal()
{
    return tr("Firmware is being upgraded in another window: close it first.");
}

} // namespace pral_matrixConfig
