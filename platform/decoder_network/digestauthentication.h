#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

namespace pral_matrix {

/**
 * @brief HTTP Digest authentication (RFC 7616) as the daemon's decoders offer
 * it beside WS-Security UsernameToken: the 401 challenge, the check of an
 * Authorization header, and its replay rules.
 *
 * qop=auth only, with MD5 (what most ONVIF clients compute) and SHA-256. A
 * nonce carries its own time and a keyed checksum, so the daemon keeps no
 * nonce it handed out: it accepts only its own, for NonceLifetimeSecs. Each
 * nonce's count (nc) must grow from one request to the next; the counts of
 * the nonces still alive are kept per decoder (bounded by the caller).
 */
class DigestAuthentication
{
public:
    /** As long as a UsernameToken's window: a client answers a challenge at once and reuses it for a while.
     */
    static constexpr int NonceLifetimeSecs = 300;
    /** What an Authorization header may hold of one field; its whole is bounded by the request head. */
    static constexpr int MaxFieldLength = 512;

    struct Credentials
    {
        bool present = false;
        QString userName;
        QByteArray realm;
        QByteArray nonce;
        QByteArray uri;
        QByteArray response;
        QByteArray qop;
        QByteArray nc;
        QByteArray cnonce;
        QByteArray algorithm;
    };

    enum class Check
    {
        Valid,
        /** The response does not prove the password: a failure that counts. */
        Wrong,
        /** The right password with a nonce that expired: the client is to answer a fresh challenge. */
        Stale,
        /** A nonce count not above the last one seen: a replay. */
        Replayed,
        /** Not a nonce of ours, another realm, another qop or algorithm, or fields missing. */
        Unusable,
    };

    DigestAuthentication();

    QString realm() const { return QStringLiteral("tvwall-decoder"); }
    /** The values of the WWW-Authenticate headers of a 401: MD5 first, then SHA-256. */
    QList<QByteArray> challenges(qint64 nowMs, bool stale) const;
    /** The fields of an "Authorization: Digest ..." header; present is false for anything else. */
    static Credentials parse(const QByteArray& header);
    /**
     * Checks credentials sent with method against password; counts holds the nonce counts seen and is
     * updated for a valid request.
     */
    Check check(const Credentials& c, const QByteArray& method, const QString& password,
                QHash<QByteArray, quint32>* counts, qint64 nowMs) const;
    /** When the nonce stops being accepted (ms since the epoch); 0 for a nonce not of ours. */
    qint64 nonceExpiry(const QByteArray& nonce) const;

private:
    QByteArray makeNonce(qint64 nowMs) const;

    QByteArray secret;
};

} // namespace pral_matrix
