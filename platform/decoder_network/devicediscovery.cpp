#include "devicediscovery.h"

#include "devicecodec.h"
#include "onvifcodec.h"
#include "onvifnamespaces.h"
#include "wsdiscovery.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QHostAddress>
#include <QSet>
#include <QUdpSocket>
#include <QUrl>

#include <algorithm>

namespace pral_matrix {

namespace {

const QHostAddress MulticastGroup(QStringLiteral("239.255.255.250"));
// Probe answers are read in slices this long, so that an abandonment is seen while a search waits.
constexpr int WaitSliceMs = 20;

/** An address as text, an IPv4 address mapped into IPv6 written as IPv4, so that both spellings compare
 * equal. */
QString canonical(const QString& host)
{
    QHostAddress address;
    if (!address.setAddress(host))
        return host.toLower();
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : address.toString();
}

quint32 orderOf(const QString& ip)
{
    bool isV4 = false;
    const quint32 v4 = QHostAddress(ip).toIPv4Address(&isV4);
    return isV4 ? v4 : 0xffffffffu;
}

/** Two answers with one id are one device when each names the other's address: a third host cannot. */
bool sameDevice(const DeviceDiscovery::Answer& a, const DeviceDiscovery::Answer& b)
{
    if (!a.endpoint.isEmpty() && !b.endpoint.isEmpty() && a.endpoint != b.endpoint)
        return false;
    return a.hosts.contains(b.info.ip) && b.hosts.contains(a.info.ip);
}

} // namespace

QList<DeviceDiscovery::Answer> DeviceDiscovery::read(const QByteArray& datagram, const QString& from,
                                                     const QString& messageId, QList<Notice>* notices)
{
    QList<Answer> answers;
    QString relatesTo;
    QString why;
    QVector<WsDiscovery::Match> matches;
    if (!WsDiscovery::parseProbeMatches(datagram, &relatesTo, &matches, &why) || relatesTo != messageId)
        return answers;
    for (const WsDiscovery::Match& m : qAsConst(matches)) {
        Answer answer;
        QUrl own;
        for (const QString& x : m.xaddrs) {
            const QUrl url(x);
            if (!url.isValid() || url.host().isEmpty() ||
                (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
                continue;
            const QString host = canonical(url.host());
            if (!answer.hosts.contains(host))
                answer.hosts.append(host);
            if (host == from && own.isEmpty())
                own = url;
        }
        MatrixInfo info;
        QString refused;
        if (!OnvifCodec::readDecoderScopes(m.scopes, &info, &refused)) {
            if (!refused.isEmpty()) {
                notices->append({from, tr("Decoder(%1) reported %2, which this client cannot hold; it is not "
                                          "listed.")
                                           .arg(from, refused)});
                continue;
            }
            // Any ONVIF device: what its own scopes and types say, the rest from the device itself.
            const DeviceCodec::Identity identity = DeviceCodec::readIdentity(m.scopes);
            answer.standard = true;
            answer.typeScopes = identity.types.mid(0, 16);
            for (const WsDiscovery::Type& t : m.types.mid(0, 16))
                answer.types << t.second;
            answer.name = identity.name.left(64);
            answer.hardware = identity.hardware.left(64);
            info.activated = true;
        }
        // A match only describes the host it came from: another host's address in it is a claim nobody
        // checked.
        if (own.isEmpty()) {
            notices->append(
                {from, tr("Decoder(%1) answered the search for another address (%2); the answer was "
                          "ignored.")
                           .arg(from, answer.hosts.join(QStringLiteral(", ")).left(200))});
            continue;
        }
        info.ip = from;
        answer.info = info;
        answer.httpPort = quint16(own.port(own.scheme() == QLatin1String("https") ? 443 : 80));
        answer.xaddr = own.toString();
        answer.endpoint = m.endpoint.left(200);
        answers.append(answer);
        if (answers.size() >= MaxDevicesPerAddress)
            break;
    }
    return answers;
}

DeviceDiscovery::Result DeviceDiscovery::identify(const QList<Answer>& answers)
{
    Result result;
    QMap<QString, QList<Answer>> byId;
    for (const Answer& a : answers) {
        QList<Answer>& same = byId[a.info.deviceId];
        // A device answering both rounds, or twice, is heard once: its last word counts.
        const auto it =
            std::find_if(same.begin(), same.end(), [&a](const Answer& b) { return b.info.ip == a.info.ip; });
        if (it != same.end())
            *it = a;
        else
            same.append(a);
    }
    for (auto it = byId.begin(); it != byId.end(); ++it) {
        QList<Answer>& claims = it.value();
        std::sort(claims.begin(), claims.end(),
                  [](const Answer& a, const Answer& b) { return orderOf(a.info.ip) < orderOf(b.info.ip); });
        bool oneDevice = true;
        for (int i = 0; i < claims.size() && oneDevice; ++i) {
            for (int j = i + 1; j < claims.size() && oneDevice; ++j)
                oneDevice = sameDevice(claims.at(i), claims.at(j));
        }
        if (oneDevice) {
            result.devices.append(claims.first());
            continue;
        }
        QStringList addresses;
        for (const Answer& a : qAsConst(claims)) {
            addresses << a.info.ip;
            result.devices.append(a);
        }
        result.conflicts.insert(it.key(), addresses);
        result.notices.append(
            {addresses.first(), tr("The decoder id %1 answered from %2: different hosts claim it, so none of "
                                   "them is activated or "
                                   "sent a password until a search finds it at one address only.")
                                    .arg(it.key(), addresses.join(QStringLiteral(", ")))});
    }
    return result;
}

DeviceDiscovery::Result DeviceDiscovery::run(const Settings& settings,
                                             const HttpClient::Abandonment* abandonment)
{
    QList<Notice> notices;
    const QList<Answer> answers = collect(settings, abandonment, &notices);
    Result result = identify(answers);
    result.notices = notices + result.notices;
    return result;
}

QList<DeviceDiscovery::Answer> DeviceDiscovery::collect(const Settings& settings,
                                                        const HttpClient::Abandonment* abandonment,
                                                        QList<Notice>* notices)
{
    // Keyed by sender and id, so that a sender repeating itself for the whole wait holds one entry.
    QMap<QPair<QString, QString>, Answer> answers;
    QHash<QString, int> idsFrom;
    QSet<QString> noticed;
    QUdpSocket socket;
    if (!socket.bind(QHostAddress(QHostAddress::AnyIPv4), 0))
        return {};
    socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4 * 1024 * 1024);
    const QString messageId = WsDiscovery::newMessageId();
    const QByteArray probe =
        WsDiscovery::buildProbe(messageId, {qMakePair(Ns::Device, QStringLiteral("Device"))});
    QSet<QString> probed;
    for (const QString& t : settings.targets)
        probed.insert(canonical(t));
    QSet<QString> answered;
    const auto abandoned = [abandonment] {
        return abandonment && abandonment->isDue();
    };

    auto drain = [&] {
        while (socket.hasPendingDatagrams()) {
            QHostAddress sender;
            QByteArray datagram(int(qBound<qint64>(0, socket.pendingDatagramSize(), 65536)), '\0');
            const qint64 size = socket.readDatagram(datagram.data(), datagram.size(), &sender);
            if (size <= 0)
                continue;
            const QString from = canonical(sender.toString());
            // Nobody asked an address that was not probed: its answer is no answer.
            if (!settings.multicast && !probed.contains(from))
                continue;
            datagram.truncate(int(size));
            QList<Notice> told;
            const QList<Answer> read = DeviceDiscovery::read(datagram, from, messageId, &told);
            for (const Notice& n : qAsConst(told)) {
                if (!noticed.contains(n.text)) {
                    noticed.insert(n.text);
                    notices->append(n);
                }
            }
            if (!read.isEmpty())
                answered.insert(from);
            for (const Answer& a : read) {
                // A device of any maker says who it is by its endpoint; ours by its id.
                const auto key =
                    qMakePair(from, a.standard ? QStringLiteral("endpoint:") + a.endpoint : a.info.deviceId);
                if (!answers.contains(key) && idsFrom.value(from) >= MaxDevicesPerAddress)
                    continue;
                if (!answers.contains(key))
                    ++idsFrom[from];
                answers.insert(key, a);
            }
        }
    };
    auto wait = [&](int ms) {
        QDeadlineTimer deadline(ms);
        while (!deadline.hasExpired() && !abandoned()) {
            const int slice = int(qBound<qint64>(1, deadline.remainingTime(), WaitSliceMs));
            if (socket.waitForReadyRead(slice))
                drain();
        }
    };

    // Two rounds: a datagram may be lost; the second probes only who did not answer.
    for (int round = 0; round < 2 && !abandoned(); ++round) {
        int sent = 0;
        for (const QString& target : settings.targets) {
            if (answered.contains(canonical(target)))
                continue;
            socket.writeDatagram(probe, QHostAddress(target), settings.port);
            // Replies arrive while we send: read them before the socket's buffer overflows.
            if (++sent % 32 == 0)
                wait(2);
        }
        if (settings.multicast)
            socket.writeDatagram(probe, MulticastGroup, settings.port);
        if (!settings.multicast && answered.size() >= probed.size())
            break;
        QDeadlineTimer deadline(round == 0 ? settings.waitMs * 2 / 3 : settings.waitMs / 3);
        while (!deadline.hasExpired() && !abandoned() &&
               (settings.multicast || answered.size() < probed.size()))
            wait(int(qBound<qint64>(1, deadline.remainingTime(), WaitSliceMs)));
    }
    return answers.values();
}

} // namespace pral_matrix
