#pragma once

#include "decoder_network_global.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>

namespace pral_matrix {

/**
 * @brief One HTTP or HTTPS exchange with a device, made on the calling thread
 * (a pool thread of the back end) without an event loop, with every limit a
 * device that means harm needs: a connect timeout, a deadline for the whole
 * exchange (not per read, so a peer that drips bytes cannot stretch it), a
 * reply size limit applied while the body streams in, limits on the number
 * of header lines and on their bytes, no redirects, no proxy unless one is
 * asked for, and an abandonment flag that ends a call in flight within
 * PollSliceMs once it is due.
 *
 * Built on libcurl (one easy handle per call, driven through a multi handle
 * so that a stalled peer never keeps the caller past the next poll slice).
 * perform() is safe to call from any number of threads at once.
 *
 * Credentials go out only as an HTTP Digest answer (RFC 7616) to a challenge:
 * a peer that offers Basic gets nothing. HTTPS checks the peer against the
 * system's certificate authorities, or against a pinned public key, or, on
 * first use, accepts any key and reports it so that the caller can pin it.
 */
class DECODER_NETWORK_EXPORT HttpClient
{
public:
    // A device's reply carries about ten header lines of a few hundred bytes; a Digest exchange
    // doubles that. Ten times as many is room for chatty servers; past it a peer is flooding.
    static constexpr int MaxHeaderLines = 200;
    static constexpr int MaxHeaderBytes = 32 * 1024;
    // How often a call looks at its abandonment flag while its peer is silent: quitting the
    // application waits at most this long past the grace it gives the calls in flight.
    static constexpr int PollSliceMs = 20;

    enum class Outcome
    {
        Ok,
        /** The URL is not http(s) or has no host. */
        BadUrl,
        Refused,
        /** No connection within the connect timeout, or the exchange ran past its deadline. */
        Timeout,
        /** The peer closed or broke the connection before the reply was whole. */
        ConnectionLost,
        /** The body, declared or streamed, went past the reply limit. */
        TooLarge,
        /** More header lines or header bytes than a device ever sends. */
        HeaderFlood,
        /** What came back is not HTTP. */
        NotHttp,
        /** The abandonment flag was due. */
        Abandoned,
        /** TLS could not be set up or the peer's certificate is not trusted. */
        TlsFailed,
        /** The peer's public key is not the pinned one. */
        KeyMismatch,
        /** The body went to a sink that refused it (a full disk). */
        SinkFailed,
    };

    enum class Trust
    {
        /** The system's certificate authorities (or Request::certificateAuthorities) vouch for the peer and
           its name. */
        SystemCertificates,
        /** The peer's public key must be Request::pinnedKey, whoever signed it. */
        PinnedKey,
        /** Any key is accepted and reported in Reply::peerKey, for pinning on first use. */
        FirstUse,
    };

    /**
     * Ends the calls that watch it: at once, or once a grace has passed so that
     * short calls (a logout on quitting) still finish. Thread-safe.
     */
    class DECODER_NETWORK_EXPORT Abandonment
    {
    public:
        /** Due graceMs from now, or sooner if it already was. */
        void abandonWithin(int graceMs);
        bool isDue() const;

    private:
        std::atomic<qint64> dueAtMs{-1};
    };

    struct Request
    {
        QString url;
        QByteArray method = "GET";
        QByteArray body;
        /** Content-Type of the body; none when empty. */
        QByteArray contentType;
        int connectTimeoutMs = 2000;
        /** The whole exchange, connecting included. */
        int timeoutMs = 5000;
        qint64 maxReplyBytes = 8 * 1024 * 1024;
        /** When set, the body goes here piece by piece instead of into Reply::body; false stops the call. */
        std::function<bool(const char* data, qint64 size)> sink;
        /** Answer a Digest challenge with these; nothing is sent otherwise. */
        QString digestUser;
        QString digestPassword;
        Trust trust = Trust::SystemCertificates;
        /** SystemCertificates: a PEM file of the authorities to trust instead of the system's. */
        QString certificateAuthorities;
        /** "sha256//" and the base64 SHA-256 of the peer's DER SubjectPublicKeyInfo. */
        QByteArray pinnedKey;
        /** A proxy URL to go through; the environment's proxies are never used. */
        QString proxy;
    };

    struct Reply
    {
        Outcome outcome = Outcome::BadUrl;
        /** The final response's status; 0 when none was read. */
        int status = 0;
        QByteArray body;
        /** HTTPS: the peer's public key in the form of Request::pinnedKey. */
        QByteArray peerKey;
        qint64 elapsedMs = 0;
        /** libcurl's explanation of a failure, for logs. */
        QString detail;
        bool ok() const { return outcome == Outcome::Ok; }
    };

    static Reply perform(const Request& request, const Abandonment* abandonment = nullptr);

    /** "sha256//" + base64(SHA-256(SubjectPublicKeyInfo)) of a PEM or DER certificate; empty if unreadable.
     */
    static QByteArray publicKeyPin(const QByteArray& certificate);
};

} // namespace pral_matrix
