#pragma once

#include "onviftransport.h"
#include "receivercodec.h"

namespace pral_matrix {

/**
 * @brief The calls of ONVIF's receiver service (trv) as the back end makes
 * them: the receiver that feeds a window's pane its sources (CreateReceiver,
 * ConfigureReceiver), and what became of it (GetReceiverState).
 *
 * Each operation runs on the pool thread of the decoder's lane, over its
 * session.
 */
class ReceiverServiceClient
{
public:
    explicit ReceiverServiceClient(OnvifTransport& transport);

    /** A new receiver; *token names it. */
    int createReceiver(const QString& ip, const ReceiverCodec::Configuration& configuration, QString* token);
    int configureReceiver(const QString& ip, const QString& token,
                          const ReceiverCodec::Configuration& configuration);
    /** NotConnected, Connecting, Connected or Unknown; empty when the decoder did not say. */
    QString receiverState(const QString& ip, const QString& token);

private:
    OnvifTransport& transport;
};

} // namespace pral_matrix
