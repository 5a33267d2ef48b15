#pragma once

#include "daemoncall.h"
#include "daemonreply.h"

#include <QStringList>
#include <QXmlStreamWriter>

namespace pral_matrix {

class DaemonContext;
struct DaemonEndpoint;

/**
 * @brief Serves the operations of one service of the daemon (device
 * management, device IO, display, receiver, our extension).
 *
 * The dispatcher (DecoderDaemon) reads the request, finds the handler by the
 * namespace of the body's element, asks it who may call the operation, checks
 * the credentials when they are needed, and then calls handle(). A handler
 * never checks a password itself.
 */
class DaemonServiceHandler
{
public:
    /** Who may call an operation. */
    enum class Access
    {
        /** Anyone, with or without credentials (which are then not looked at). */
        Anyone,
        /** Proven credentials; a wrong password counts towards the lock-out. */
        Credentials,
        /** The login: as Credentials, and a session opens on the decoder. */
        Login,
    };

    explicit DaemonServiceHandler(DaemonContext& context)
        : context(context)
    {
    }
    virtual ~DaemonServiceHandler() = default;

    /** The service's namespace (the body element's). */
    virtual QString ns() const = 0;
    /** The HTTP path GetServices names for it. */
    virtual QString path() const = 0;
    /** The operations it serves; anything else is ter:ActionNotSupported. */
    virtual QStringList operations() const = 0;
    virtual Access access(const QString& op, const DaemonEndpoint& e) const;
    /** The least user level that may call op (Administrator, Operator, User): reads are for every user. */
    virtual QString requiredLevel(const QString& op) const;
    virtual DaemonReply handle(DaemonCall& call) = 0;
    /** Writes the service's capabilities element (for GetServices and GetServiceCapabilities). */
    virtual void writeCapabilities(QXmlStreamWriter& w, const DaemonEndpoint& e) const;

protected:
    DaemonContext& context;
};

} // namespace pral_matrix
