#pragma once

#include "decoder_network_global.h"
#include "soapenvelope.h"

#include <QByteArray>
#include <QPair>
#include <QStringList>
#include <QVector>

namespace pral_matrix {

/**
 * @brief WS-Discovery (2005/04, as ONVIF uses it) Probe and ProbeMatches
 * messages, and the rule by which a device answers a probe.
 *
 * Types are (namespace, local name) pairs; scopes are URIs. A datagram is
 * refused above MaxDatagramBytes, before its XML is read (within the XML
 * reader's limits, see XmlNode).
 */
class DECODER_NETWORK_EXPORT WsDiscovery
{
public:
    /** Probes and matches are 1 to 4 KiB, one datagram each; eight times the largest. */
    static constexpr int MaxDatagramBytes = 32 * 1024;

    using Type = QPair<QString, QString>;

    struct Probe
    {
        QString messageId;
        QVector<Type> types;
        QStringList scopes;
    };

    struct Match
    {
        QString endpoint;
        QVector<Type> types;
        QStringList scopes;
        QStringList xaddrs;
        int metadataVersion = 0;
    };

    /** The types a decoder of ours announces: tds:Device and dn:NetworkVideoDisplay. */
    static QVector<Type> decoderTypes();

    static QByteArray buildProbe(const QString& messageId, const QVector<Type>& types,
                                 const QStringList& scopes = {});
    static bool parseProbe(const QByteArray& datagram, Probe* probe, QString* error);
    /** A ProbeMatches; a device that serves the standard services only answers in their vocabulary. */
    static QByteArray
    buildProbeMatch(const QString& relatesTo, const Match& match, quint32 instanceId, quint32 messageNumber,
                    SoapEnvelope::Vocabulary vocabulary = SoapEnvelope::Vocabulary::WithOurs);
    /** Matches and the probe's message id they answer. */
    static bool parseProbeMatches(const QByteArray& datagram, QString* relatesTo, QVector<Match>* matches,
                                  QString* error);
    /** Every probed type is announced and every probed scope prefixes an announced one, by path segments. */
    static bool answers(const Probe& probe, const QVector<Type>& types, const QStringList& scopes);
    static QString newMessageId();
};

} // namespace pral_matrix
