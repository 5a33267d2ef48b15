#include "digestauthentication.h"

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QtEndian>

namespace pral_matrix {

namespace {

QCryptographicHash::Algorithm hashOf(const QByteArray& algorithm, bool* ok)
{
    *ok = true;
    if (algorithm.isEmpty() || algorithm.compare("MD5", Qt::CaseInsensitive) == 0)
        return QCryptographicHash::Md5;
    if (algorithm.compare("SHA-256", Qt::CaseInsensitive) == 0)
        return QCryptographicHash::Sha256;
    *ok = false;
    return QCryptographicHash::Md5;
}

QByteArray hex(QCryptographicHash::Algorithm algorithm, const QByteArray& data)
{
    return QCryptographicHash::hash(data, algorithm).toHex();
}

/** Compares without stopping at the first difference. */
bool sameBytes(const QByteArray& a, const QByteArray& b)
{
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (int i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a.at(i) ^ b.at(i));
    return diff == 0;
}

} // namespace

DigestAuthentication::DigestAuthentication()
    : secret(32, '\0')
{
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(secret.data()), 8);
}

QByteArray DigestAuthentication::makeNonce(qint64 nowMs) const
{
    QByteArray stamp(8, '\0');
    qToBigEndian(quint64(nowMs), stamp.data());
    const QByteArray mac =
        QMessageAuthenticationCode::hash(stamp, secret, QCryptographicHash::Sha256).left(16);
    return (stamp + mac).toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}

qint64 DigestAuthentication::nonceExpiry(const QByteArray& nonce) const
{
    if (nonce.size() > 64)
        return 0;
    const QByteArray raw =
        QByteArray::fromBase64(nonce, QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
    if (raw.size() != 24)
        return 0;
    const QByteArray stamp = raw.left(8);
    const QByteArray mac =
        QMessageAuthenticationCode::hash(stamp, secret, QCryptographicHash::Sha256).left(16);
    if (!sameBytes(mac, raw.mid(8)))
        return 0;
    return qint64(qFromBigEndian<quint64>(stamp.constData())) + NonceLifetimeSecs * 1000LL;
}

QList<QByteArray> DigestAuthentication::challenges(qint64 nowMs, bool stale) const
{
    const QByteArray nonce = makeNonce(nowMs);
    QList<QByteArray> values;
    for (const char* algorithm : {"MD5", "SHA-256"}) {
        values << "Digest realm=\"" + realm().toLatin1() + "\", qop=\"auth\", algorithm=" + algorithm +
                      ", nonce=\"" + nonce + "\"" + (stale ? ", stale=true" : "");
    }
    return values;
}

DigestAuthentication::Credentials DigestAuthentication::parse(const QByteArray& header)
{
    Credentials c;
    const QByteArray trimmed = header.trimmed();
    if (!trimmed.startsWith("Digest ") && !trimmed.startsWith("digest "))
        return c;
    // name=value or name="value" pairs separated by commas; a quoted value may hold commas.
    const QByteArray rest = trimmed.mid(7);
    int i = 0;
    QHash<QByteArray, QByteArray> fields;
    while (i < rest.size()) {
        while (i < rest.size() && (rest.at(i) == ' ' || rest.at(i) == ','))
            ++i;
        const int eq = rest.indexOf('=', i);
        if (eq < 0)
            break;
        const QByteArray name = rest.mid(i, eq - i).trimmed().toLower();
        i = eq + 1;
        QByteArray value;
        if (i < rest.size() && rest.at(i) == '"') {
            ++i;
            while (i < rest.size() && rest.at(i) != '"') {
                if (rest.at(i) == '\\' && i + 1 < rest.size())
                    ++i;
                value += rest.at(i++);
            }
            ++i;
        } else {
            const int end = rest.indexOf(',', i);
            value = rest.mid(i, end < 0 ? -1 : end - i).trimmed();
            i = end < 0 ? rest.size() : end;
        }
        if (value.size() > MaxFieldLength || fields.size() > 16)
            return c;
        fields.insert(name, value);
    }
    c.present = true;
    c.userName = QString::fromUtf8(fields.value("username"));
    c.realm = fields.value("realm");
    c.nonce = fields.value("nonce");
    c.uri = fields.value("uri");
    c.response = fields.value("response").toLower();
    c.qop = fields.value("qop");
    c.nc = fields.value("nc");
    c.cnonce = fields.value("cnonce");
    c.algorithm = fields.value("algorithm");
    return c;
}

DigestAuthentication::Check DigestAuthentication::check(const Credentials& c, const QByteArray& method,
                                                        const QString& password,
                                                        QHash<QByteArray, quint32>* counts,
                                                        qint64 nowMs) const
{
    bool known = false;
    const QCryptographicHash::Algorithm algorithm = hashOf(c.algorithm, &known);
    bool ncOk = false;
    const quint32 nc = c.nc.toUInt(&ncOk, 16);
    const qint64 expiry = nonceExpiry(c.nonce);
    if (!c.present || !known || c.realm != realm().toLatin1() || c.qop != "auth" || !ncOk || nc == 0 ||
        c.cnonce.isEmpty() || c.uri.isEmpty() || c.userName.isEmpty() || expiry == 0)
        return Check::Unusable;
    const QByteArray ha1 = hex(algorithm, c.userName.toUtf8() + ':' + c.realm + ':' + password.toUtf8());
    const QByteArray ha2 = hex(algorithm, method + ':' + c.uri);
    const QByteArray expected =
        hex(algorithm, ha1 + ':' + c.nonce + ':' + c.nc + ':' + c.cnonce + ':' + c.qop + ':' + ha2);
    if (!sameBytes(expected, c.response))
        return Check::Wrong;
    // The password is right: what remains says nothing about guessing it.
    if (nowMs > expiry)
        return Check::Stale;
    const auto seen = counts->constFind(c.nonce);
    if (seen != counts->constEnd() && nc <= seen.value())
        return Check::Replayed;
    counts->insert(c.nonce, nc);
    return Check::Valid;
}

} // namespace pral_matrix
