#include "FakeTree.h"

#include "platform/system/DialUpPeers.h"
#include "platform/system/NetworkLink.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const QByteArray RouteHeader = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

QByteArray route(const char *interfaceName, const char *destination, const char *flags, int metric, const char *mask)
{
    return QByteArray(interfaceName) + '\t' + destination + "\t0101A8C0\t" + flags + "\t0\t0\t"
        + QByteArray::number(metric) + '\t' + mask + "\t0\t0\t0\n";
}

void writeInterface(const FakeTree &tree, const QString &name, const QByteArray &state, const QByteArray &speed,
    const QByteArray &carrier = "1\n")
{
    tree.write(u"/sys/class/net/"_s + name + u"/operstate"_s, state);
    tree.write(u"/sys/class/net/"_s + name + u"/carrier"_s, carrier);
    if (!speed.isNull())
        tree.write(u"/sys/class/net/"_s + name + u"/speed"_s, speed);
}

} // namespace

class TestNetworkLink : public QObject
{
    Q_OBJECT

private slots:
    void links_data();
    void links();
    void noRouteTable();
    void defaultPeer();
};

void TestNetworkLink::links_data()
{
    QTest::addColumn<QByteArray>("routes");
    QTest::addColumn<bool>("hasRoute");
    QTest::addColumn<QString>("interfaceName");
    QTest::addColumn<bool>("up");
    QTest::addColumn<quint64>("speed");

    const QByteArray lan = route("eth0", "0000A8C0", "0001", 100, "00FFFFFF");
    QTest::newRow("up at 100 Mbit/s") << (lan + route("eth0", "00000000", "0003", 100, "00000000")) << true << u"eth0"_s
                                      << true << quint64(100);
    QTest::newRow("down") << route("eth1", "00000000", "0003", 0, "00000000") << true << u"eth1"_s << false
                          << quint64(0);
    QTest::newRow("no default route") << lan << false << QString() << false << quint64(0);
    QTest::newRow("default route not up")
        << route("eth0", "00000000", "0002", 0, "00000000") << false << QString() << false << quint64(0);
    QTest::newRow("lowest metric wins") << (route("eth0", "00000000", "0003", 600, "00000000")
        + route("wlan0", "00000000", "0003", 100, "00000000"))
                                        << true << u"wlan0"_s << true << quint64(0);
    QTest::newRow("10 Gbit/s") << route("eth2", "00000000", "0003", 0, "00000000") << true << u"eth2"_s << true
                               << quint64(10000);
    QTest::newRow("ppp with carrier") << route("ppp0", "00000000", "0001", 0, "00000000") << true << u"ppp0"_s << true
                                      << quint64(0);
    QTest::newRow("tun without carrier") << route("tun0", "00000000", "0001", 0, "00000000") << true << u"tun0"_s
                                         << false << quint64(0);
    QTest::newRow("interface gone") << route("eth9", "00000000", "0003", 0, "00000000") << true << u"eth9"_s << false
                                    << quint64(0);
}

void TestNetworkLink::links()
{
    QFETCH(QByteArray, routes);
    QFETCH(bool, hasRoute);
    QFETCH(QString, interfaceName);
    QFETCH(bool, up);
    QFETCH(quint64, speed);

    FakeTree tree;
    tree.write(u"/proc/net/route"_s, RouteHeader + routes);
    writeInterface(tree, u"eth0"_s, "up\n", "100\n");
    writeInterface(tree, u"eth1"_s, "down\n", "1000\n", "0\n");
    writeInterface(tree, u"eth2"_s, "up\n", "10000\n");
    // An interface without a known speed says -1 (and some refuse the read).
    writeInterface(tree, u"wlan0"_s, "up\n", "-1\n");
    writeInterface(tree, u"ppp0"_s, "unknown\n", QByteArray());
    writeInterface(tree, u"tun0"_s, "unknown\n", QByteArray(), "0\n");

    const NetworkLink link = NetworkLink::read(tree.root());
    QCOMPARE(link.hasDefaultRoute, hasRoute);
    QCOMPARE(link.interfaceName, interfaceName);
    QCOMPARE(link.up, up);
    QCOMPARE(link.speedMbits, speed);
}

void TestNetworkLink::noRouteTable()
{
    FakeTree tree;
    const NetworkLink link = NetworkLink::read(tree.root());
    QVERIFY(!link.hasDefaultRoute);
    QVERIFY(!link.up);
}

void TestNetworkLink::defaultPeer()
{
    FakeTree tree;
    QCOMPARE(DialUpPeers::defaultPeer(tree.root()), QString());
    tree.makeDirectory(u"/etc/ppp/peers/provider"_s);
    QCOMPARE(DialUpPeers::defaultPeer(tree.root()), QString());

    FakeTree configured;
    configured.write(u"/etc/ppp/peers/provider"_s, "user \"ana\"\n");
    configured.write(u"/etc/ppp/peers/other"_s, "\n");
    QCOMPARE(DialUpPeers::defaultPeer(configured.root()), u"provider"_s);
}

QTEST_GUILESS_MAIN(TestNetworkLink)
#include "tst_networklink.moc"
