#pragma once

#include "soapenvelope.h"
#include "xmlnode.h"

#include <QString>

namespace pral_matrix {

struct DaemonEndpoint;

/**
 * @brief One SOAP call as a service handler serves it: the decoder it is
 * addressed to, the request element and what its credentials proved.
 */
struct DaemonCall
{
    DaemonEndpoint& endpoint;
    /** The body's first element. */
    const XmlNode& request;
    /** Its local name: the operation. */
    QString op;
    /** The UsernameToken sent with it, if any. */
    SoapEnvelope::ReceivedToken token;
    /** The user whose credentials were proven; empty for a call anyone may make. */
    QString user;
};

} // namespace pral_matrix
