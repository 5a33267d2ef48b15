// The wire format of the standard services that the daemon and the client share (DeviceCodec, DisplayCodec,
// ReceiverCodec): what one end writes the other reads back unchanged, through a real envelope, at the edges
// of every range; and what the readers refuse, with a reason that names it.

#include "devicecodec.h"
#include "displaycodec.h"
#include "onvifnamespaces.h"
#include "receivercodec.h"
#include "soapenvelope.h"

#include <QtTest>

#include <functional>

using namespace pral_matrix;

namespace {

using Write = std::function<void(QXmlStreamWriter&)>;

/** The element ns:name with content, sent in an envelope and read back as the other end reads it. */
XmlNode wire(const QString& ns, const QString& name, const Write& content)
{
    const QByteArray bytes = SoapEnvelope::build([&](QXmlStreamWriter& w) {
        w.writeStartElement(ns, name);
        content(w);
        w.writeEndElement();
    });
    SoapEnvelope::Message m;
    QString error;
    if (!SoapEnvelope::parse(bytes, &m, &error))
        qWarning("not read back: %s", qPrintable(error));
    return m.payload;
}

/** A body element written by hand, with the prefixes a standard client uses. */
XmlNode typed(const QByteArray& element)
{
    const QByteArray bytes = "<s:Envelope xmlns:s=\"" + Ns::Soap.toLatin1() + "\" xmlns:tds=\"" +
                             Ns::Device.toLatin1() + "\" xmlns:tt=\"" + Ns::Schema.toLatin1() +
                             "\" xmlns:tls=\"" + Ns::Display.toLatin1() + "\" xmlns:trv=\"" +
                             Ns::Receiver.toLatin1() + "\"><s:Body>" + element + "</s:Body></s:Envelope>";
    SoapEnvelope::Message m;
    QString error;
    if (!SoapEnvelope::parse(bytes, &m, &error))
        qWarning("not read: %s", qPrintable(error));
    return m.payload;
}

QString scope(const QString& kind, const QString& value)
{
    return DeviceCodec::standardScope(kind, value);
}

QStringList numberedScopes(int count)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << scope(QStringLiteral("location"), QStringLiteral("room-%1").arg(i));
    return list;
}

/** "name|password|level" entries as the tds:User elements of a CreateUsers. */
XmlNode createUsers(const QStringList& entries)
{
    return wire(Ns::Device, QStringLiteral("CreateUsers"), [&](QXmlStreamWriter& w) {
        for (const QString& entry : entries) {
            w.writeStartElement(Ns::Device, QStringLiteral("User"));
            w.writeTextElement(Ns::Schema, QStringLiteral("Username"), entry.section(QLatin1Char('|'), 0, 0));
            w.writeTextElement(Ns::Schema, QStringLiteral("Password"), entry.section(QLatin1Char('|'), 1, 1));
            w.writeTextElement(Ns::Schema, QStringLiteral("UserLevel"), entry.section(QLatin1Char('|'), 2));
            w.writeEndElement();
        }
    });
}

QStringList numberedUsers(int count)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << QStringLiteral("user%1|Passw0rd!|User").arg(i);
    return list;
}

MatrixWindowInfo windowAt(int x, int y, int width, int height)
{
    MatrixWindowInfo window;
    window.x = x;
    window.y = y;
    window.width = width;
    window.height = height;
    return window;
}

WindowSourceInfo source(int slot, const QString& name)
{
    WindowSourceInfo s;
    s.sourceSlot = slot;
    s.sourceName = name;
    s.sourceKind = 2;
    s.sourceParam7 = -7;
    s.sourceText19 = QStringLiteral("通道 \"%1\" <a&b>").arg(slot);
    return s;
}

void compareSources(const QList<WindowSourceInfo>& read, const QList<WindowSourceInfo>& written)
{
    QCOMPARE(read.size(), written.size());
    for (int i = 0; i < read.size(); ++i) {
        const WindowSourceInfo& r = read.at(i);
        const WindowSourceInfo& s = written.at(i);
        QCOMPARE(r.sourceSlot, s.sourceSlot);
        QCOMPARE(r.sourceParam2, s.sourceParam2);
        QCOMPARE(r.sourceParam3, s.sourceParam3);
        QCOMPARE(r.sourceKind, s.sourceKind);
        QCOMPARE(r.sourceParam7, s.sourceParam7);
        QCOMPARE(r.sourceParam8, s.sourceParam8);
        QCOMPARE(r.sourceParam9, s.sourceParam9);
        QCOMPARE(r.sourceParam12, s.sourceParam12);
        QCOMPARE(r.pictureMode, s.pictureMode);
        QCOMPARE(r.sourceParam17, s.sourceParam17);
        QCOMPARE(r.sourceName, s.sourceName);
        QCOMPARE(r.sourceText6, s.sourceText6);
        QCOMPARE(r.pictureName, s.pictureName);
        QCOMPARE(r.sourceText11, s.sourceText11);
        QCOMPARE(r.picturePath, s.picturePath);
        QCOMPARE(r.sourceText14, s.sourceText14);
        QCOMPARE(r.sourceText15, s.sourceText15);
        QCOMPARE(r.sourceText18, s.sourceText18);
        QCOMPARE(r.sourceText19, s.sourceText19);
    }
}

} // namespace

class TestOnvifCodecs : public QObject
{
    Q_OBJECT

private slots:
    // A device's standard scopes tell its name, model and place, whatever characters they hold; the first
    // of each kind counts, and scopes of other schemes are left to their readers.
    void identityReadsBackFromTheScopes_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("hardware");
        QTest::addColumn<QString>("location");
        QTest::newRow("plain") << "TVD-81"
                               << "TVD-04"
                               << "hall";
        QTest::newRow("spaces and slashes") << "wall a/b"
                                            << "model 7/x"
                                            << "floor 2 / room 5";
        QTest::newRow("URI characters") << "50% ?#&=+"
                                        << "a:b@c"
                                        << "[1]";
        QTest::newRow("Chinese") << "电视墙 1"
                                 << "解码器"
                                 << "大厅";
    }
    void identityReadsBackFromTheScopes()
    {
        QFETCH(QString, name);
        QFETCH(QString, hardware);
        QFETCH(QString, location);
        const QVector<DeviceCodec::Scope> written{
            {scope(QStringLiteral("type"), QStringLiteral("video_decoder")), true},
            {scope(QStringLiteral("type"), QStringLiteral("Network_Video_Decoder")), true},
            {scope(QStringLiteral("hardware"), hardware), true},
            {QStringLiteral("tvwall://decoder/kind/3"), true},
            {scope(QStringLiteral("name"), name), false},
            {scope(QStringLiteral("location"), location), false},
            {scope(QStringLiteral("name"), QStringLiteral("second")), false}};
        const QVector<DeviceCodec::Scope> read =
            DeviceCodec::readScopes(wire(Ns::Device, QStringLiteral("GetScopesResponse"),
                                         [&](QXmlStreamWriter& w) { DeviceCodec::writeScopes(w, written); }));
        QCOMPARE(read.size(), written.size());
        QStringList items;
        for (int i = 0; i < read.size(); ++i) {
            QCOMPARE(read.at(i).item, written.at(i).item);
            QCOMPARE(read.at(i).fixed, written.at(i).fixed);
            items << read.at(i).item;
        }
        const DeviceCodec::Identity identity = DeviceCodec::readIdentity(items);
        QCOMPARE(identity.types,
                 (QStringList{QStringLiteral("video_decoder"), QStringLiteral("Network_Video_Decoder")}));
        QCOMPARE(identity.name, name);
        QCOMPARE(identity.hardware, hardware);
        QCOMPARE(identity.location, location);
    }

    void scopesAreURIsOfBoundedLength_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<bool>("valid");
        const QString root = QStringLiteral("onvif://www.onvif.org/name/");
        QTest::newRow("standard") << root + "x" << true;
        QTest::newRow("ours") << "tvwall://decoder/kind/3" << true;
        QTest::newRow("at the length limit")
            << root + QString(DeviceCodec::MaxScopeLength - root.size(), 'a') << true;
        QTest::newRow("beyond the length limit")
            << root + QString(DeviceCodec::MaxScopeLength - root.size() + 1, 'a') << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("a space") << root + "a b" << false;
        QTest::newRow("a tab") << root + "a\tb" << false;
        QTest::newRow("no scheme") << "relative/path" << false;
        QTest::newRow("broken host") << "http://[::1/x" << false;
    }
    void scopesAreURIsOfBoundedLength()
    {
        QFETCH(QString, item);
        QFETCH(bool, valid);
        QCOMPARE(DeviceCodec::isScope(item), valid);
        // A reply's scope that is none is left out, never passed on.
        const QVector<DeviceCodec::Scope> read = DeviceCodec::readScopes(
            wire(Ns::Device, QStringLiteral("GetScopesResponse"), [&](QXmlStreamWriter& w) {
                DeviceCodec::writeScopes(w, {{item, false}});
            }));
        QCOMPARE(read.size(), valid ? 1 : 0);
    }

    // Set/Add/RemoveScopes: the list as each request names it, duplicates once, and refusals of a list of
    // none, of more than a device keeps and of an item that is no scope.
    void scopeRequestsReadBack_data()
    {
        QTest::addColumn<QString>("op");
        QTest::addColumn<QStringList>("items");
        /** Empty: as writeScopeItems writes them; otherwise the element the items are sent as. */
        QTest::addColumn<QString>("element");
        QTest::addColumn<QStringList>("read");
        QTest::addColumn<QString>("refusal");
        const QString a = scope(QStringLiteral("location"), QStringLiteral("hall"));
        const QString b = scope(QStringLiteral("name"), QStringLiteral("wall-a"));
        QTest::newRow("add") << "AddScopes" << QStringList{a, b} << "" << QStringList{a, b} << "";
        QTest::newRow("remove") << "RemoveScopes" << QStringList{a} << "" << QStringList{a} << "";
        QTest::newRow("set") << "SetScopes" << QStringList{b, a} << "" << QStringList{b, a} << "";
        QTest::newRow("set as Scopes by hand")
            << "SetScopes" << QStringList{a} << "Scopes" << QStringList{a} << "";
        QTest::newRow("set with the items of add")
            << "SetScopes" << QStringList{a} << "ScopeItem" << QStringList() << "0 scopes";
        QTest::newRow("add with the list of set")
            << "AddScopes" << QStringList{a} << "Scopes" << QStringList() << "0 scopes";
        QTest::newRow("duplicates once")
            << "AddScopes" << QStringList{a, b, a} << "" << QStringList{a, b} << "";
        QTest::newRow("none") << "SetScopes" << QStringList() << "" << QStringList() << "0 scopes";
        QTest::newRow("at the limit") << "SetScopes" << numberedScopes(DeviceCodec::MaxScopes) << ""
                                      << numberedScopes(DeviceCodec::MaxScopes) << "";
        QTest::newRow("beyond the limit")
            << "AddScopes" << numberedScopes(DeviceCodec::MaxScopes + 1) << "" << QStringList()
            << QStringLiteral("%1 scopes").arg(DeviceCodec::MaxScopes + 1);
        QTest::newRow("not a URI") << "AddScopes" << QStringList{a, "no scope"} << "" << QStringList()
                                   << "the scope \"no scope\"";
        QTest::newRow("surrounding blanks")
            << "RemoveScopes" << QStringList{"  " + a + "\n"} << "" << QStringList{a} << "";
    }
    void scopeRequestsReadBack()
    {
        QFETCH(QString, op);
        QFETCH(QStringList, items);
        QFETCH(QString, element);
        QFETCH(QStringList, read);
        QFETCH(QString, refusal);
        const XmlNode request = wire(Ns::Device, op, [&](QXmlStreamWriter& w) {
            if (element.isEmpty()) {
                DeviceCodec::writeScopeItems(w, op, items);
                return;
            }
            for (const QString& item : items)
                w.writeTextElement(Ns::Device, element, item);
        });
        QStringList got;
        QString why;
        QCOMPARE(DeviceCodec::readScopeItems(request, &got, &why), refusal.isEmpty());
        QVERIFY2(why.contains(refusal), qPrintable(why));
        if (refusal.isEmpty())
            QCOMPARE(got, read);
    }

    // CreateUsers and SetUser: names, passwords and levels within the device's limits.
    void usersReadWithinTheirLimits_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("one of each level")
            << QStringList{"viewer|Viewer@2024|User", "op|Op@2024|Operator", "root|Root@2024|Administrator"}
            << "";
        QTest::newRow("level with blanks") << QStringList{"viewer|x| Operator\n"} << "";
        QTest::newRow("no password") << QStringList{"viewer||User"} << "";
        QTest::newRow("name at the limit")
            << QStringList{QString(DeviceCodec::MaxUserNameLength, 'n') + "|x|User"} << "";
        QTest::newRow("password at the limit")
            << QStringList{"viewer|" + QString(DeviceCodec::MaxPasswordLength, 'p') + "|User"} << "";
        QTest::newRow("Chinese name and password") << QStringList{"操作员|密码 #1|Operator"} << "";
        QTest::newRow("users at the limit") << numberedUsers(DeviceCodec::MaxUsers) << "";
        QTest::newRow("none") << QStringList() << "0 users";
        QTest::newRow("users beyond the limit") << numberedUsers(DeviceCodec::MaxUsers + 1)
                                                << QStringLiteral("%1 users").arg(DeviceCodec::MaxUsers + 1);
        QTest::newRow("empty name") << QStringList{"|x|User"} << "the user name";
        QTest::newRow("name beyond the limit")
            << QStringList{QString(DeviceCodec::MaxUserNameLength + 1, 'n') + "|x|User"} << "the user name";
        QTest::newRow("name with a space") << QStringList{"a b|x|User"} << "the user name \"a b\"";
        QTest::newRow("name with a tab") << QStringList{"a\tb|x|User"} << "the user name";
        QTest::newRow("password beyond the limit")
            << QStringList{"viewer|" + QString(DeviceCodec::MaxPasswordLength + 1, 'p') + "|User"}
            << QStringLiteral("a password of %1 characters").arg(DeviceCodec::MaxPasswordLength + 1);
        QTest::newRow("unknown level") << QStringList{"viewer|x|Root"} << "the user level \"Root\"";
        QTest::newRow("level in lower case") << QStringList{"viewer|x|user"} << "the user level";
        QTest::newRow("no level") << QStringList{"viewer|x|"} << "the user level";
        QTest::newRow("one bad among good") << QStringList{"a|x|User", "b|x|Guest"} << "the user level";
    }
    void usersReadWithinTheirLimits()
    {
        QFETCH(QStringList, entries);
        QFETCH(QString, refusal);
        QVector<DeviceCodec::User> users;
        QString why;
        QCOMPARE(DeviceCodec::readUsers(createUsers(entries), &users, &why), refusal.isEmpty());
        QVERIFY2(why.contains(refusal), qPrintable(why));
        if (!refusal.isEmpty())
            return;
        QCOMPARE(users.size(), entries.size());
        for (int i = 0; i < users.size(); ++i) {
            QCOMPARE(users.at(i).name, entries.at(i).section(QLatin1Char('|'), 0, 0));
            QCOMPARE(users.at(i).password, entries.at(i).section(QLatin1Char('|'), 1, 1));
            QCOMPARE(users.at(i).level, entries.at(i).section(QLatin1Char('|'), 2).trimmed());
        }
    }

    // GetUsers lists names and levels; no password leaves the device.
    void userListCarriesNoPassword()
    {
        const QVector<DeviceCodec::User> written{
            {QStringLiteral("viewer"), QStringLiteral("Secret#1"), QStringLiteral("User")},
            {QStringLiteral("操作员"), QStringLiteral("Secret#2"), QStringLiteral("Operator")}};
        QByteArray bytes;
        QXmlStreamWriter w(&bytes);
        w.writeStartElement(Ns::Device, QStringLiteral("GetUsersResponse"));
        DeviceCodec::writeUsers(w, written);
        w.writeEndElement();
        QVERIFY(!bytes.contains("Secret") && !bytes.contains("Password"));
        QVector<DeviceCodec::User> read;
        QString why;
        QVERIFY2(
            DeviceCodec::readUsers(wire(Ns::Device, QStringLiteral("GetUsersResponse"),
                                        [&](QXmlStreamWriter& w) { DeviceCodec::writeUsers(w, written); }),
                                   &read, &why),
            qPrintable(why));
        QCOMPARE(read.size(), 2);
        QCOMPARE(read.at(1).name, written.at(1).name);
        QCOMPARE(read.at(1).level, written.at(1).level);
        QVERIFY(read.at(0).password.isEmpty() && read.at(1).password.isEmpty());
    }

    // GetCapabilities names the address of every service offered and of no other.
    void capabilitiesNameTheServicesOffered_data()
    {
        QTest::addColumn<QStringList>("services");
        QTest::newRow("device only") << QStringList{Ns::Device};
        QTest::newRow("device and its outputs") << QStringList{Ns::Device, Ns::DeviceIo};
        QTest::newRow("a display without receivers") << QStringList{Ns::Device, Ns::DeviceIo, Ns::Display};
        QTest::newRow("every standard service")
            << QStringList{Ns::Device, Ns::DeviceIo, Ns::Display, Ns::Receiver};
    }
    void capabilitiesNameTheServicesOffered()
    {
        QFETCH(QStringList, services);
        DeviceCodec::XAddrs written;
        for (const QString& ns : services)
            written.insert(ns,
                           QStringLiteral("http://127.0.0.2:8080/onvif/") + ns.section(QLatin1Char('/'), -2));
        const DeviceCodec::XAddrs read = DeviceCodec::readCapabilities(
            wire(Ns::Device, QStringLiteral("GetCapabilitiesResponse"),
                 [&](QXmlStreamWriter& w) { DeviceCodec::writeCapabilities(w, written, 4); }));
        QCOMPARE(read, written);
    }

    // A window's place on the wall survives the trip through ONVIF's coordinates to the unit, at the edges
    // of the wall and for the smallest window.
    void windowPlaceSurvivesTheLayout_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        const int all = DisplayCodec::WallUnits;
        QTest::newRow("the whole wall") << 0 << 0 << all << all;
        QTest::newRow("top left quarter") << 0 << 0 << all / 2 << all / 2;
        QTest::newRow("bottom right quarter") << all / 2 << all / 2 << all / 2 << all / 2;
        QTest::newRow("one unit at the origin") << 0 << 0 << 1 << 1;
        QTest::newRow("one unit in the far corner") << all - 1 << all - 1 << 1 << 1;
        QTest::newRow("a thin strip across") << 0 << 16001 << all << 1;
        QTest::newRow("odd numbers") << 12345 << 6789 << 3333 << 4447;
        QTest::newRow("a third") << 10923 << 0 << 10923 << all;
    }
    void windowPlaceSurvivesTheLayout()
    {
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(int, width);
        QFETCH(int, height);
        const DisplayCodec::PaneLayout written =
            DisplayCodec::paneLayout(DisplayCodec::paneToken(3), windowAt(x, y, width, height));
        QVector<DisplayCodec::PaneLayout> read;
        QString why;
        QVERIFY2(DisplayCodec::readLayout(
                     wire(Ns::Display, QStringLiteral("Layout"),
                          [&](QXmlStreamWriter& w) { DisplayCodec::writeLayout(w, {written}); }),
                     &read, &why),
                 qPrintable(why));
        QCOMPARE(read.size(), 1);
        QCOMPARE(read.first().pane, QStringLiteral("Pane-3"));
        QVERIFY(read.first().left >= -1 && read.first().right <= 1 && read.first().bottom >= -1 &&
                read.first().top <= 1);
        // ONVIF's top is above its bottom; the wall's y grows downwards.
        QVERIFY(read.first().top > read.first().bottom);
        MatrixWindowInfo back;
        QVERIFY(DisplayCodec::readArea(read.first(), &back));
        QCOMPARE(back.x, x);
        QCOMPARE(back.y, y);
        QCOMPARE(back.width, width);
        QCOMPARE(back.height, height);
    }

    // Areas that are no rectangle on the output are refused, naming the pane; one that is, but smaller
    // than a unit of the wall, is read and then makes no window.
    void layoutRefusesAreasOffTheOutput_data()
    {
        QTest::addColumn<QByteArray>("area");
        QTest::addColumn<bool>("read");
        QTest::addColumn<bool>("makesWindow");
        QTest::newRow("the whole output")
            << QByteArray(R"(bottom="-1" top="1" right="1" left="-1")") << true << true;
        QTest::newRow("exponent notation")
            << QByteArray(R"(bottom="-1E0" top="1e-0" right="5e-1" left="-0.5")") << true << true;
        QTest::newRow("smaller than a unit")
            << QByteArray(R"(bottom="0" top="0.00001" right="0.00001" left="0")") << true << false;
        QTest::newRow("no width") << QByteArray(R"(bottom="-1" top="1" right="0.5" left="0.5")") << false
                                  << false;
        QTest::newRow("upside down") << QByteArray(R"(bottom="1" top="-1" right="1" left="-1")") << false
                                     << false;
        QTest::newRow("beyond the left")
            << QByteArray(R"(bottom="-1" top="1" right="1" left="-1.5")") << false << false;
        QTest::newRow("just beyond the top")
            << QByteArray(R"(bottom="-1" top="1.0001" right="1" left="-1")") << false << false;
        QTest::newRow("not a number")
            << QByteArray(R"(bottom="-1" top="1" right="1" left="nan")") << false << false;
        QTest::newRow("infinite") << QByteArray(R"(bottom="-1" top="1" right="inf" left="-1")") << false
                                  << false;
        QTest::newRow("a word") << QByteArray(R"(bottom="-1" top="1" right="right" left="-1")") << false
                                << false;
        QTest::newRow("a side missing") << QByteArray(R"(top="1" right="1" left="-1")") << false << false;
    }
    void layoutRefusesAreasOffTheOutput()
    {
        QFETCH(QByteArray, area);
        QFETCH(bool, read);
        QFETCH(bool, makesWindow);
        const XmlNode layout = typed("<tls:Layout><tt:PaneLayout><tt:Pane>Pane-1</tt:Pane><tt:Area " + area +
                                     "/></tt:PaneLayout></tls:Layout>");
        QVector<DisplayCodec::PaneLayout> panes;
        QString why;
        QCOMPARE(DisplayCodec::readLayout(layout, &panes, &why), read);
        if (!read) {
            QVERIFY2(why.contains(QLatin1String("the area of the pane \"Pane-1\"")), qPrintable(why));
            return;
        }
        MatrixWindowInfo window;
        QCOMPARE(DisplayCodec::readArea(panes.first(), &window), makesWindow);
        QVERIFY(window.width >= 0 && window.height >= 0);
    }

    void layoutKeepsItsPaneLimit_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("read");
        QTest::newRow("empty") << 0 << true;
        QTest::newRow("at the limit") << int(DisplayCodec::MaxPanes) << true;
        QTest::newRow("beyond the limit") << int(DisplayCodec::MaxPanes) + 1 << false;
    }
    void layoutKeepsItsPaneLimit()
    {
        QFETCH(int, count);
        QFETCH(bool, read);
        QVector<DisplayCodec::PaneLayout> written;
        for (int i = 0; i < count; ++i)
            written << DisplayCodec::paneLayout(DisplayCodec::paneToken(i + 1),
                                                windowAt(i * 200, 0, 200, 200));
        QVector<DisplayCodec::PaneLayout> panes;
        QString why;
        QCOMPARE(DisplayCodec::readLayout(
                     wire(Ns::Display, QStringLiteral("Layout"),
                          [&](QXmlStreamWriter& w) { DisplayCodec::writeLayout(w, written); }),
                     &panes, &why),
                 read);
        QCOMPARE(panes.size(), read ? count : 0);
        if (!read)
            QVERIFY2(why.contains(QStringLiteral("%1 panes").arg(count)), qPrintable(why));
    }

    // Pane tokens name positions 1 to MaxPanes and nothing else.
    void paneTokensNamePositions_data()
    {
        QTest::addColumn<QString>("token");
        QTest::addColumn<int>("position");
        QTest::newRow("first") << DisplayCodec::paneToken(1) << 1;
        QTest::newRow("last") << DisplayCodec::paneToken(DisplayCodec::MaxPanes)
                              << int(DisplayCodec::MaxPanes);
        QTest::newRow("beyond the last") << DisplayCodec::paneToken(DisplayCodec::MaxPanes + 1) << 0;
        QTest::newRow("zero") << "Pane-0" << 0;
        QTest::newRow("negative") << "Pane--1" << 0;
        QTest::newRow("no number") << "Pane-" << 0;
        QTest::newRow("a client's own token") << "x" << 0;
        QTest::newRow("another case") << "pane-1" << 0;
        QTest::newRow("overflowing") << "Pane-4294967297" << 0;
    }
    void paneTokensNamePositions()
    {
        QFETCH(QString, token);
        QFETCH(int, position);
        QCOMPARE(DisplayCodec::panePosition(token), position);
    }

    // A pane configuration as the display service hands it out and takes it back, with our window record
    // when it carries one.
    void paneConfigurationSurvivesTheWire_data()
    {
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("receiver");
        QTest::addColumn<bool>("hasWindow");
        QTest::newRow("a token alone") << "Pane-1"
                                       << ""
                                       << "" << false;
        QTest::newRow("named and fed") << "x"
                                       << "Window <1> & \"2\" 窗口"
                                       << "Receiver-7" << false;
        QTest::newRow("with our window") << "Pane-128"
                                         << "Window 128"
                                         << "Receiver-1" << true;
    }
    void paneConfigurationSurvivesTheWire()
    {
        QFETCH(QString, token);
        QFETCH(QString, name);
        QFETCH(QString, receiver);
        QFETCH(bool, hasWindow);
        DisplayCodec::PaneConfiguration written;
        written.token = token;
        written.name = name;
        written.receiverToken = receiver;
        written.hasWindow = hasWindow;
        written.window = windowAt(100, 200, 300, 400);
        written.window.columnCount = 2;
        written.window.rowCount = 3;
        written.window.sourceList = {source(4, QStringLiteral("camera 4"))};
        const XmlNode node =
            wire(Ns::Display, QStringLiteral("GetPaneConfigurationResponse"), [&](QXmlStreamWriter& w) {
                DisplayCodec::writePaneConfiguration(w, Ns::Display, QStringLiteral("PaneConfiguration"),
                                                     written);
            }).child(Ns::Display, QStringLiteral("PaneConfiguration"));
        DisplayCodec::PaneConfiguration read;
        QString why;
        QVERIFY2(DisplayCodec::readPaneConfiguration(node, &read, &why), qPrintable(why));
        QCOMPARE(read.token, token);
        QCOMPARE(read.name, name);
        QCOMPARE(read.receiverToken, receiver);
        QCOMPARE(read.hasWindow, hasWindow);
        if (!hasWindow)
            return;
        QCOMPARE(read.window.x, 100);
        QCOMPARE(read.window.height, 400);
        QCOMPARE(read.window.columnCount, 2);
        QCOMPARE(read.window.rowCount, 3);
        compareSources(read.window.sourceList, written.window.sourceList);
    }

    void paneConfigurationNeedsAToken_data()
    {
        QTest::addColumn<QByteArray>("element");
        QTest::newRow("no token") << QByteArray("<tls:PaneConfiguration><tt:PaneName>a</tt:PaneName>"
                                                "</tls:PaneConfiguration>");
        QTest::newRow("a blank token") << QByteArray("<tls:PaneConfiguration><tt:Token> \n</tt:Token>"
                                                     "</tls:PaneConfiguration>");
        QTest::newRow("the token in another namespace")
            << QByteArray("<tls:PaneConfiguration><tls:Token>Pane-1</tls:Token></tls:PaneConfiguration>");
        QTest::newRow("no configuration at all") << QByteArray("<tls:Other/>");
    }
    void paneConfigurationNeedsAToken()
    {
        QFETCH(QByteArray, element);
        const XmlNode root = typed("<tls:SetPaneConfiguration>" + element + "</tls:SetPaneConfiguration>");
        DisplayCodec::PaneConfiguration pane;
        QString why;
        QVERIFY(!DisplayCodec::readPaneConfiguration(
            root.child(Ns::Display, QStringLiteral("PaneConfiguration")), &pane, &why));
        QVERIFY2(why.contains(QLatin1String("without a token")), qPrintable(why));
    }

    // A receiver configuration in every mode, stream and transport, at the MediaUri's length limit, and
    // with the window sources of ours it may carry.
    void receiverConfigurationSurvivesTheWire_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("uri");
        QTest::addColumn<QString>("stream");
        QTest::addColumn<QString>("protocol");
        QTest::addColumn<int>("sources");
        const QString longUri =
            QStringLiteral("rtsp://127.0.0.1/") + QString(ReceiverCodec::MaxMediaUriLength - 17, 'u');
        QTest::newRow("a stream") << "AlwaysConnect"
                                  << "rtsp://127.0.0.1/cam1"
                                  << "RTP-Unicast"
                                  << "RTSP" << 0;
        QTest::newRow("multicast, never connected") << "NeverConnect"
                                                    << "rtsp://127.0.0.1/cam2?a=1&b=2"
                                                    << "RTP-Multicast"
                                                    << "UDP" << 0;
        QTest::newRow("automatic over HTTP") << "AutoConnect"
                                             << "http://127.0.0.1/cam3"
                                             << "RTP-Unicast"
                                             << "HTTP" << 0;
        QTest::newRow("unknown mode over TCP") << "Unknown"
                                               << "rtsp://127.0.0.1/cam4"
                                               << "RTP-Unicast"
                                               << "TCP" << 0;
        QTest::newRow("MediaUri at the limit") << "AlwaysConnect" << longUri << "RTP-Unicast"
                                               << "RTSP" << 0;
        QTest::newRow("our sources") << "AlwaysConnect"
                                     << "rtsp://source/4/camera%204"
                                     << "RTP-Unicast"
                                     << "RTSP" << 2;
        QTest::newRow("our sources at the limit") << "AlwaysConnect"
                                                  << "rtsp://source/0/x"
                                                  << "RTP-Unicast"
                                                  << "RTSP" << int(ReceiverCodec::MaxSources);
    }
    void receiverConfigurationSurvivesTheWire()
    {
        QFETCH(QString, mode);
        QFETCH(QString, uri);
        QFETCH(QString, stream);
        QFETCH(QString, protocol);
        QFETCH(int, sources);
        ReceiverCodec::Receiver written;
        written.token = QStringLiteral("Receiver-12");
        written.configuration.mode = mode;
        written.configuration.mediaUri = uri;
        written.configuration.stream = stream;
        written.configuration.protocol = protocol;
        for (int i = 0; i < sources; ++i)
            written.configuration.sources << source(i, QStringLiteral("camera %1").arg(i));
        const XmlNode node =
            wire(Ns::Receiver, QStringLiteral("GetReceiverResponse"), [&](QXmlStreamWriter& w) {
                ReceiverCodec::writeReceiver(w, Ns::Receiver, QStringLiteral("Receiver"), written);
            }).child(Ns::Receiver, QStringLiteral("Receiver"));
        ReceiverCodec::Receiver read;
        QString why;
        QVERIFY2(ReceiverCodec::readReceiver(node, &read, &why), qPrintable(why));
        QCOMPARE(read.token, written.token);
        QCOMPARE(read.configuration.mode, mode);
        QCOMPARE(read.configuration.mediaUri, uri);
        QCOMPARE(read.configuration.stream, stream);
        QCOMPARE(read.configuration.protocol, protocol);
        compareSources(read.configuration.sources, written.configuration.sources);
        // What the decoder shows: our sources, or the stream the MediaUri names.
        const QList<WindowSourceInfo> shown = ReceiverCodec::sources(read.configuration);
        if (sources > 0) {
            compareSources(shown, written.configuration.sources);
        } else {
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown.first().sourceName, uri);
        }
    }

    // What a receiver reader refuses, each with the field named.
    void receiverConfigurationRefusals_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("uri");
        QTest::addColumn<QString>("stream");
        QTest::addColumn<QString>("protocol");
        QTest::addColumn<int>("sources");
        QTest::addColumn<QString>("refusal");
        const QString uri = QStringLiteral("rtsp://127.0.0.1/cam1");
        QTest::newRow("unknown mode") << "SometimesConnect" << uri << "RTP-Unicast"
                                      << "RTSP" << 0 << "the receiver mode \"SometimesConnect\"";
        QTest::newRow("no mode") << "" << uri << "RTP-Unicast"
                                 << "RTSP" << 0 << "the receiver mode";
        QTest::newRow("no MediaUri") << "AlwaysConnect"
                                     << ""
                                     << "RTP-Unicast"
                                     << "RTSP" << 0 << "a media address of 0 characters";
        QTest::newRow("MediaUri beyond the limit")
            << "AlwaysConnect"
            << "rtsp://127.0.0.1/" + QString(ReceiverCodec::MaxMediaUriLength - 16, 'u') << "RTP-Unicast"
            << "RTSP" << 0
            << QStringLiteral("a media address of %1").arg(ReceiverCodec::MaxMediaUriLength + 1);
        QTest::newRow("unknown stream") << "AlwaysConnect" << uri << "RTP-Broadcast"
                                        << "RTSP" << 0 << "the stream type \"RTP-Broadcast\"";
        QTest::newRow("unknown transport") << "AlwaysConnect" << uri << "RTP-Unicast"
                                           << "QUIC" << 0 << "the transport protocol \"QUIC\"";
        QTest::newRow("no transport") << "AlwaysConnect" << uri << "RTP-Unicast"
                                      << "" << 0 << "the transport protocol";
        QTest::newRow("sources beyond the limit")
            << "AlwaysConnect" << uri << "RTP-Unicast"
            << "RTSP" << int(ReceiverCodec::MaxSources) + 1
            << QStringLiteral("%1 sources").arg(ReceiverCodec::MaxSources + 1);
    }
    void receiverConfigurationRefusals()
    {
        QFETCH(QString, mode);
        QFETCH(QString, uri);
        QFETCH(QString, stream);
        QFETCH(QString, protocol);
        QFETCH(int, sources);
        QFETCH(QString, refusal);
        ReceiverCodec::Configuration written;
        written.mode = mode;
        written.mediaUri = uri;
        written.stream = stream;
        written.protocol = protocol;
        for (int i = 0; i < sources; ++i)
            written.sources << source(i, QStringLiteral("camera"));
        const XmlNode node =
            wire(Ns::Receiver, QStringLiteral("CreateReceiver"), [&](QXmlStreamWriter& w) {
                ReceiverCodec::writeConfiguration(w, Ns::Receiver, QStringLiteral("Configuration"), written);
            }).child(Ns::Receiver, QStringLiteral("Configuration"));
        ReceiverCodec::Configuration read;
        QString why;
        QVERIFY(!ReceiverCodec::readConfiguration(node, &read, &why));
        QVERIFY2(why.contains(refusal), qPrintable(why));
    }

    void receiverNeedsATokenAndAConfiguration_data()
    {
        QTest::addColumn<QByteArray>("element");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("no token")
            << QByteArray(
                   "<trv:Receiver><tt:Configuration><tt:Mode>AlwaysConnect</tt:Mode></tt:Configuration>"
                   "</trv:Receiver>")
            << "without a token";
        QTest::newRow("no configuration")
            << QByteArray("<trv:Receiver><tt:Token>Receiver-1</tt:Token></trv:Receiver>")
            << "no receiver configuration";
        QTest::newRow("nothing at all") << QByteArray("<trv:Other/>") << "without a token";
    }
    void receiverNeedsATokenAndAConfiguration()
    {
        QFETCH(QByteArray, element);
        QFETCH(QString, refusal);
        const XmlNode root = typed("<trv:GetReceiverResponse>" + element + "</trv:GetReceiverResponse>");
        ReceiverCodec::Receiver receiver;
        QString why;
        QVERIFY(!ReceiverCodec::readReceiver(root.child(Ns::Receiver, QStringLiteral("Receiver")), &receiver,
                                             &why));
        QVERIFY2(why.contains(refusal), qPrintable(why));
    }

    void receiverStateReadsBack_data()
    {
        QTest::addColumn<QString>("state");
        QTest::newRow("connected") << "Connected";
        QTest::newRow("not connected") << "NotConnected";
        QTest::newRow("connecting") << "Connecting";
    }
    void receiverStateReadsBack()
    {
        QFETCH(QString, state);
        const XmlNode response =
            wire(Ns::Receiver, QStringLiteral("GetReceiverStateResponse"),
                 [&](QXmlStreamWriter& w) { ReceiverCodec::writeState(w, state, false); });
        QCOMPARE(ReceiverCodec::readState(response), state);
    }

    // A window source of ours named as a MediaUri stays within what a receiver takes, whatever its name.
    void sourceAddressFitsAReceiver_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("uri");
        QTest::newRow("a camera") << 2 << "camera 4"
                                  << "rtsp://source/4/camera%204";
        QTest::newRow("a test picture") << 7 << "red.jpg"
                                        << "picture:red.jpg";
        // Nine characters of address for each of 200 Chinese ones: the name is left out.
        QTest::newRow("a camera with a long name") << 2 << QString(200, QChar(0x6444)) << "rtsp://source/4";
        QTest::newRow("a picture path beyond the limit")
            << 7 << QString(ReceiverCodec::MaxMediaUriLength, 'p')
            << "picture:" + QString(ReceiverCodec::MaxMediaUriLength - 8, 'p');
    }
    void sourceAddressFitsAReceiver()
    {
        QFETCH(int, kind);
        QFETCH(QString, name);
        QFETCH(QString, uri);
        WindowSourceInfo s;
        s.sourceSlot = 4;
        s.sourceKind = kind;
        s.sourceName = name;
        s.pictureName = name;
        s.picturePath = kind == 7 ? QStringLiteral("picture:") + name : QString();
        QCOMPARE(ReceiverCodec::mediaUri(s), uri);
        ReceiverCodec::Configuration c;
        c.mediaUri = ReceiverCodec::mediaUri(s);
        c.sources = {s};
        const XmlNode node =
            wire(Ns::Receiver, QStringLiteral("CreateReceiver"), [&](QXmlStreamWriter& w) {
                ReceiverCodec::writeConfiguration(w, Ns::Receiver, QStringLiteral("Configuration"), c);
            }).child(Ns::Receiver, QStringLiteral("Configuration"));
        ReceiverCodec::Configuration read;
        QString why;
        QVERIFY2(ReceiverCodec::readConfiguration(node, &read, &why), qPrintable(why));
        QCOMPARE(read.mediaUri, uri);
    }
};

QTEST_GUILESS_MAIN(TestOnvifCodecs)
#include "tst_onvifcodecs.moc"
