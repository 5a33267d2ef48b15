#pragma once

#include "host_framework_global.h"
#include "psingleton.h"

#include <QHash>
#include <QPointer>
#include <QUuid>

namespace PCOMMON {

class DisabledWaitingWt;

/**
 * @brief Finds busy overlays by their id, so that a result handler can remove
 * the overlay that its request put up.
 */
class HOST_FRAMEWORK_EXPORT DisabledWaitingWtManager : public PSingleton<DisabledWaitingWtManager>
{
    friend class PSingleton<DisabledWaitingWtManager>;
    friend class DisabledWaitingWt;

public:
    /** Deletes the overlay with this id. An unknown, null or already destroyed id does nothing. */
    static void destroyDisabledWaitingWt(const QUuid& uuid);
    /** The overlay with this id, or null. */
    static DisabledWaitingWt* find(const QUuid& uuid);
    /** Number of overlays alive. */
    static int count();

private:
    DisabledWaitingWtManager();
    ~DisabledWaitingWtManager();

    static void add(DisabledWaitingWt* overlay);
    static void remove(const QUuid& uuid);

    // QPointer: an overlay dies with its parent without telling anyone first.
    QHash<QUuid, QPointer<DisabledWaitingWt>> overlays;
};

} // namespace PCOMMON
