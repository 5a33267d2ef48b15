#include "disabledwaitingwtmanager.h"

#include "disabledwaitingwt.h"

namespace PCOMMON {

DisabledWaitingWtManager::DisabledWaitingWtManager() = default;

DisabledWaitingWtManager::~DisabledWaitingWtManager() = default;

void DisabledWaitingWtManager::add(DisabledWaitingWt* overlay)
{
    _instance().overlays.insert(overlay->getUuid(), overlay);
}

void DisabledWaitingWtManager::remove(const QUuid& uuid)
{
    _instance().overlays.remove(uuid);
}

void DisabledWaitingWtManager::destroyDisabledWaitingWt(const QUuid& uuid)
{
    if (uuid.isNull())
        return;
    // take() first: the overlay's destructor unregisters itself as well.
    const QPointer<DisabledWaitingWt> overlay = _instance().overlays.take(uuid);
    delete overlay.data();
}

DisabledWaitingWt* DisabledWaitingWtManager::find(const QUuid& uuid)
{
    return _instance().overlays.value(uuid).data();
}

int DisabledWaitingWtManager::count()
{
    int alive = 0;
    for (const QPointer<DisabledWaitingWt>& overlay : qAsConst(_instance().overlays)) {
        if (overlay)
            ++alive;
    }
    return alive;
}

} // namespace PCOMMON
