#include "platform/InternetErrorNames.h"
#include "platform/SocketErrors.h"

#include <QtTest>

#include <cerrno>

using namespace Qt::StringLiterals;

class TestErrorNames : public QObject
{
    Q_OBJECT

private slots:
    void internetName_data();
    void internetName();
    void internetNamesCoverTheRange();
    void socketName_data();
    void socketName();
    void socketTableHasFiftyNames();
    void errnoMapping_data();
    void errnoMapping();
};

void TestErrorNames::internetName_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("name");
    QTest::newRow("no failure") << 0 << QString();
    QTest::newRow("below the table") << 12000 << QString();
    QTest::newRow("above the table") << 12037 << QString();
    QTest::newRow("negative") << -12001 << QString();
    QTest::newRow("http status") << 404 << QString();
    QTest::newRow("first") << 12001 << u"ERROR_INTERNET_OUT_OF_HANDLES"_s;
    QTest::newRow("time-out") << 12002 << u"ERROR_INTERNET_TIMEOUT"_s;
    QTest::newRow("unresolved") << 12007 << u"ERROR_INTERNET_NAME_NOT_RESOLVED"_s;
    QTest::newRow("cannot connect") << 12029 << u"ERROR_INTERNET_CANNOT_CONNECT"_s;
    QTest::newRow("reset") << 12031 << u"ERROR_INTERNET_CONNECTION_RESET"_s;
    QTest::newRow("last of the published run") << 12032 << u"ERROR_INTERNET_FORCE_RETRY"_s;
    QTest::newRow("positional 33") << 12033 << u"ERROR_INTERNET_ZONE_CROSSING"_s;
    QTest::newRow("positional 34") << 12034 << u"ERROR_INTERNET_MIXED_SECURITY"_s;
    QTest::newRow("positional 35") << 12035 << u"ERROR_INTERNET_SSL_CERT_CN_INVALID"_s;
    QTest::newRow("last") << 12036 << u"ERROR_INTERNET_HANDLE_EXISTS"_s;
}

void TestErrorNames::internetName()
{
    QFETCH(int, code);
    QFETCH(QString, name);
    QCOMPARE(InternetErrorNames::name(code), name);
    QCOMPARE(InternetErrorNames::shownName(code), name.toLower());
}

void TestErrorNames::internetNamesCoverTheRange()
{
    QSet<QString> seen;
    for (int code = InternetErrorNames::FirstCode; code <= InternetErrorNames::LastCode; ++code) {
        const QString name = InternetErrorNames::name(code);
        QVERIFY2(name.startsWith(u"ERROR_INTERNET_"), qPrintable(QString::number(code)));
        QVERIFY(name.size() <= 39);
        seen.insert(name);
    }
    QCOMPARE(seen.size(), 36);
}

void TestErrorNames::socketName_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("name");
    const QString unknown = u"Unknown Error Code"_s;
    QTest::newRow("zero") << 0 << unknown;
    QTest::newRow("between entries") << 10005 << unknown;
    QTest::newRow("errno-like") << 98 << unknown;
    QTest::newRow("beyond") << 11005 << unknown;
    QTest::newRow("first") << 10004 << u"WSAEINTR"_s;
    QTest::newRow("access") << 10013 << u"WSAEACCES"_s;
    QTest::newRow("in use") << 10048 << u"WSAEADDRINUSE"_s;
    QTest::newRow("reset") << 10054 << u"WSAECONNRESET"_s;
    QTest::newRow("remote") << 10071 << u"WSAEREMOTE"_s;
    QTest::newRow("not ready") << 10091 << u"WSASYSNOTREADY"_s;
    QTest::newRow("not initialised") << 10093 << u"WSANOTINITIALISED"_s;
    QTest::newRow("host not found") << 11001 << u"WSAHOST_NOT_FOUND"_s;
    QTest::newRow("last") << 11004 << u"WSANO_DATA"_s;
}

void TestErrorNames::socketName()
{
    QFETCH(int, code);
    QFETCH(QString, name);
    QCOMPARE(SocketErrors::name(code), name);
}

void TestErrorNames::socketTableHasFiftyNames()
{
    int named = 0;
    for (int code = 10000; code < 11100; ++code) {
        if (SocketErrors::name(code) != u"Unknown Error Code")
            ++named;
    }
    QCOMPARE(named, 50);
}

void TestErrorNames::errnoMapping_data()
{
    QTest::addColumn<int>("errnoValue");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("name");
    QTest::newRow("none") << 0 << 0 << u"Unknown Error Code"_s;
    QTest::newRow("EADDRINUSE") << EADDRINUSE << 10048 << u"WSAEADDRINUSE"_s;
    QTest::newRow("EACCES") << EACCES << 10013 << u"WSAEACCES"_s;
    QTest::newRow("EPERM") << EPERM << 10013 << u"WSAEACCES"_s;
    QTest::newRow("EINVAL") << EINVAL << 10022 << u"WSAEINVAL"_s;
    QTest::newRow("ECONNRESET") << ECONNRESET << 10054 << u"WSAECONNRESET"_s;
    QTest::newRow("EPIPE") << EPIPE << 10054 << u"WSAECONNRESET"_s;
    QTest::newRow("EAGAIN") << EAGAIN << 10035 << u"WSAEWOULDBLOCK"_s;
    QTest::newRow("ECONNREFUSED") << ECONNREFUSED << 10061 << u"WSAECONNREFUSED"_s;
    QTest::newRow("ETIMEDOUT") << ETIMEDOUT << 10060 << u"WSAETIMEDOUT"_s;
    QTest::newRow("EMFILE") << EMFILE << 10024 << u"WSAEMFILE"_s;
    QTest::newRow("ENOTSOCK") << ENOTSOCK << 10038 << u"WSAENOTSOCK"_s;
    QTest::newRow("EADDRNOTAVAIL") << EADDRNOTAVAIL << 10049 << u"WSAEADDRNOTAVAIL"_s;
    QTest::newRow("no counterpart") << ENOENT << ENOENT << u"Unknown Error Code"_s;
}

void TestErrorNames::errnoMapping()
{
    QFETCH(int, errnoValue);
    QFETCH(int, code);
    QFETCH(QString, name);
    QCOMPARE(SocketErrors::winsockCode(errnoValue), code);
    QCOMPARE(SocketErrors::nameForErrno(errnoValue), name);
}

QTEST_GUILESS_MAIN(TestErrorNames)
#include "tst_errornames.moc"
