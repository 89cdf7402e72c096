#include "common/PyftpdlibPeer.h"
#include "ftp/support/FtpTestTree.h"
#include "platform/inet/CurlDriver.h"
#include "platform/inet/FtpListingParser.h"
#include "platform/inet/FtpSession.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using inet::FtpEntries;
using namespace Qt::StringLiterals;
using inet::FtpSession;

Q_DECLARE_METATYPE(FtpSession::Listing)

namespace {

// One session on its own driver, with what it reported.
struct Client
{
    inet::CurlDriver driver;
    FtpSession session;
    QList<int> statuses;
    std::optional<int> openError;
    std::optional<int> listError;
    std::optional<int> downloadError;
    FtpEntries entries;

    Client(const PyftpdlibPeer &peer, const QString &user = {}, const QString &password = {})
        : session(
            driver, inet::FtpLogin { .host = peer.host(), .port = peer.port(), .user = user, .password = password })
    {
        QObject::connect(&session, &FtpSession::status, [this](quintptr, int code) { statuses.append(code); });
        QObject::connect(&session, &FtpSession::opened, [this](quintptr, int error) { openError = error; });
        QObject::connect(&session, &FtpSession::listed, [this](quintptr, const FtpEntries &found, int error) {
            entries = found;
            listError = error;
        });
        QObject::connect(&session, &FtpSession::downloaded, [this](quintptr, int error) { downloadError = error; });
    }

    bool open()
    {
        session.open(1);
        return QTest::qWaitFor([this] { return openError.has_value(); }, 10000) && *openError == 0;
    }
    bool list(const QString &path)
    {
        listError.reset();
        session.list(path.toUtf8(), 2);
        return QTest::qWaitFor([this] { return listError.has_value(); }, 10000);
    }
    const inet::FtpEntry *find(const QString &name) const
    {
        for (const inet::FtpEntry &entry : entries) {
            if (entry.name == name)
                return &entry;
        }
        return nullptr;
    }
};

} // namespace

class TestFtpSession : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        QVERIFY(FtpTestTree::makeMain(m_root.path()));
        QVERIFY(QDir(m_root.path()).mkpath(QStringLiteral("prazan")));
        QVERIFY2(m_mlsd.start(m_root.path(), { .user = QStringLiteral("ivo"), .password = QStringLiteral("tajna") }),
            qPrintable(m_mlsd.errorText()));
        QVERIFY2(m_list.start(m_root.path(), { .mlsd = false }), qPrintable(m_list.errorText()));
    }

    // The login learns from the server's features whether it can list with MLSD.
    void loginFindsTheListingCommand()
    {
        Client mlsd(m_mlsd, QStringLiteral("ivo"), QStringLiteral("tajna"));
        QVERIFY(mlsd.open());
        QVERIFY(mlsd.session.listsWithMlsd());
        Client list(m_list);
        QVERIFY(list.open());
        QVERIFY(!list.session.listsWithMlsd());
    }

    void listingGivesKindsSizesAndDates_data()
    {
        QTest::addColumn<bool>("mlsdServer");
        QTest::newRow("MLSD") << true;
        QTest::newRow("LIST") << false;
    }
    void listingGivesKindsSizesAndDates()
    {
        QFETCH(bool, mlsdServer);
        Client client(mlsdServer ? m_mlsd : m_list);
        QVERIFY(client.open());
        QVERIFY(client.list(QString()));
        QCOMPARE(*client.listError, 0);
        QStringList names;
        for (const inet::FtpEntry &entry : std::as_const(client.entries))
            names.append(entry.name);
        names.sort();
        QCOMPARE(names,
            QStringList({ QStringLiteral("ReadMe.TXT"), QStringLiteral("empty.txt"), QStringLiteral("prazan"),
                QStringLiteral("small.bin"), QStringLiteral("sub dir"), QStringLiteral("two.bin") }));
        QVERIFY(client.find(QStringLiteral("sub dir"))->directory);
        QVERIFY(!client.find(QStringLiteral("small.bin"))->directory);
        QCOMPARE(client.find(QStringLiteral("small.bin"))->size, 500);
        QCOMPARE(client.find(QStringLiteral("two.bin"))->size, 2048);
        QCOMPARE(client.find(QStringLiteral("empty.txt"))->size, 0);
        // LIST gives the time of day only for the last months, older entries the day
        // (pyftpdlib lists in UTC): that day stays the day in every time zone.
        const QDateTime old = client.find(QStringLiteral("small.bin"))->lastWrite;
        if (mlsdServer) {
            QCOMPARE(old, FtpTestTree::smallFileTime());
        } else {
            QCOMPARE(old.toLocalTime().date(), FtpTestTree::smallFileTime().date());
            QCOMPARE(old.toLocalTime().time(), QTime(0, 0));
        }
        const QDateTime recent = QFileInfo(m_root.filePath(QStringLiteral("two.bin"))).lastModified().toUTC();
        const QDateTime listed = client.find(QStringLiteral("two.bin"))->lastWrite;
        QCOMPARE(listed,
            mlsdServer ? recent.addMSecs(-recent.time().msec())
                       : recent.addSecs(-recent.time().second()).addMSecs(-recent.time().msec()));

        QVERIFY(client.list(QStringLiteral("sub dir")));
        QCOMPARE(*client.listError, 0);
        QVERIFY(client.find(QStringLiteral("čćžšđ datoteka.txt")));
        QCOMPARE(client.find(QStringLiteral("čćžšđ datoteka.txt"))->size, 1234);
        QVERIFY(client.find(QStringLiteral("Dublje Ćž"))->directory);
    }

    // Names that cannot be entries of the listed directory are left out of an MLSD
    // answer: a client would otherwise read or write outside its directories.
    void mlsdLeavesOutNamesThatAreNoEntries_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("name"); // empty: the line gives no entry
        QTest::newRow("plain") << QByteArray("type=file;size=6; a.txt") << QStringLiteral("a.txt");
        QTest::newRow("blanks and semicolon")
            << QByteArray("type=file;size=6; a; b .txt") << QStringLiteral("a; b .txt");
        QTest::newRow("climbs out") << QByteArray("type=file;size=6; ../../izvan.txt") << QString();
        QTest::newRow("another directory") << QByteArray("type=file;size=6; dir/izvan.txt") << QString();
        QTest::newRow("parent as a file") << QByteArray("type=file;size=6; ..") << QString();
        QTest::newRow("parent as a directory") << QByteArray("type=dir; ..") << QString();
        QTest::newRow("itself as a file") << QByteArray("type=file; .") << QString();
        QTest::newRow("NUL") << QByteArray("type=file;size=6; a") + '\0' + "b" << QString();
        QTest::newRow("no name") << QByteArray("type=file;size=6; ") << QString();
    }
    void mlsdLeavesOutNamesThatAreNoEntries()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, name);
        const FtpEntries entries = inet::FtpListingParser::parseMlsd(line + "\r\ntype=dir; echt\r\n");
        QStringList names;
        for (const inet::FtpEntry &entry : entries)
            names.append(entry.name);
        QStringList expected { QStringLiteral("echt") };
        if (!name.isEmpty())
            expected.prepend(name);
        QCOMPARE(names, expected);
    }

    // The size fact is a count of bytes: anything else in it gives 0, never a
    // negative size.
    void mlsdSizes_data()
    {
        QTest::addColumn<QByteArray>("facts");
        QTest::addColumn<qint64>("size");
        QTest::newRow("bytes") << QByteArray("type=file;size=2048;") << qint64(2048);
        QTest::newRow("beyond 32 bits") << QByteArray("type=file;size=53687091200;") << qint64(53687091200);
        QTest::newRow("negative") << QByteArray("type=file;size=-5;") << qint64(0);
        QTest::newRow("not a number") << QByteArray("type=file;size=velik;") << qint64(0);
        QTest::newRow("empty") << QByteArray("type=file;size=;") << qint64(0);
        QTest::newRow("missing") << QByteArray("type=file;") << qint64(0);
    }
    void mlsdSizes()
    {
        QFETCH(QByteArray, facts);
        QFETCH(qint64, size);
        const FtpEntries entries = inet::FtpListingParser::parseMlsd(facts + " a.txt\r\n");
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries.first().size, size);
    }

    // LIST lines of Unix and DOS (IIS) servers: kinds, sizes, dates as the server
    // gives them, names in UTF-8 or Windows-1250 with their own bytes kept.
    void listLines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("name"); // empty: the line gives no entry
        QTest::addColumn<QString>("kind");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("date");
        const QByteArray croatian = "\xe8\xe6\x9e\x9a\xf0.txt"; // čćžšđ in Windows-1250
        auto row = [](const char *title, const QByteArray &line, const QString &name, const char *kind, qint64 size,
                       const char *date) {
            QTest::newRow(title) << line << name << QString::fromLatin1(kind) << size << QString::fromLatin1(date);
        };
        row("DOS directory, afternoon", "12-09-26  07:16PM       <DIR>          Pub", u"Pub"_s, "dir", 0,
            "2026.12.09 19:16");
        row("DOS just after midnight", "03-05-2024  12:05AM               1234 noc.txt", u"noc.txt"_s, "file", 1234,
            "2024.03.05 00:05");
        row("DOS just after noon", "03-05-2024  12:30PM                 10 podne.txt", u"podne.txt"_s, "file", 10,
            "2024.03.05 12:30");
        row("DOS last minute of the day", "01-01-68  11:59PM   1 kraj", u"kraj"_s, "file", 1, "2068.01.01 23:59");
        row("DOS two-digit year of the 1900s", "01-31-99  09:00AM   500 stari.txt", u"stari.txt"_s, "file", 500,
            "1999.01.31 09:00");
        row("DOS 24-hour clock", "07-04-2021  18:45   2,048 iis.log", u"iis.log"_s, "file", 2048, "2021.07.04 18:45");
        row("DOS blank before PM", "07-04-2021  06:45 PM   <DIR>   Moji dokumenti", u"Moji dokumenti"_s, "dir", 0,
            "2021.07.04 18:45");
        row("DOS Windows-1250 name", "07-04-2021  06:45PM   7 " + croatian, u"čćžšđ.txt"_s, "file", 7,
            "2021.07.04 18:45");
        row("DOS hour beyond 12", "07-04-2021  13:45PM   7 x", QString(), "", 0, "");
        row("DOS month beyond 12", "13-04-2021  01:45PM   7 x", QString(), "", 0, "");
        row("Unix directory", "drwxr-xr-x   2 owner group 4096 Mar  5  2024 Pub", u"Pub"_s, "dir", 0,
            "2024.03.05 00:00");
        row("Unix link", "lrwxrwxrwx   1 owner group    3 Mar  5  2024 linkdir -> Pub", u"linkdir"_s, "link", 0,
            "2024.03.05 00:00");
        row("Unix blanks in name", "-rw-r--r--   1 owner group  500 Mar  5  2024 a  b.txt", u"a  b.txt"_s, "file", 500,
            "2024.03.05 00:00");
        row("Unix without group", "-rw-r--r--   1 owner 500 Mar  5 14:07 x.txt", u"x.txt"_s, "file", 500,
            "2024.03.05 14:07");
        row("Unix UTF-8 name", "-rw-r--r--   1 o g 6 Mar  5  2024 čćž.txt"_ba, u"čćž.txt"_s, "file", 6,
            "2024.03.05 00:00");
        row("Unix name that climbs out", "-rw-r--r--   1 o g 6 Mar  5  2024 ../izvan.txt", QString(), "", 0, "");
        row("total", "total 12", QString(), "", 0, "");
    }
    void listLines()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(qint64, size);
        QFETCH(QString, date);
        const QDateTime now(QDate(2024, 6, 1), QTime(12, 0), QTimeZone::utc());
        const FtpEntries entries = inet::FtpListingParser::parseList(line + "\r\n", now);
        if (name.isEmpty()) {
            QVERIFY(entries.isEmpty());
            return;
        }
        QCOMPARE(entries.size(), 1);
        const inet::FtpEntry &entry = entries.first();
        QCOMPARE(entry.name, name);
        // Requests name the entry by the bytes the server sent.
        QVERIFY(line.endsWith(entry.rawName) || line.contains(QByteArray(entry.rawName + " -> ")));
        QCOMPARE(entry.directory ? u"dir"_s : entry.link ? u"link"_s : u"file"_s, kind);
        QCOMPARE(entry.size, size);
        QCOMPARE(entry.lastWrite.toString(u"yyyy.MM.dd HH:mm"_s), date);
    }

    // A LIST date with a year and no time is that day wherever the client is; a
    // time of day is UTC (as pyftpdlib lists) and shows in the client's zone.
    void listDatesInEveryZone_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<int>("offset"); // seconds east of UTC in early March 2024
        QTest::addColumn<QByteArray>("column");
        QTest::addColumn<QString>("shown");
        QTest::newRow("day, UTC") << QByteArray("UTC") << 0 << QByteArray("Mar  5  2024")
                                  << QStringLiteral("2024.03.05 00:00");
        QTest::newRow("day, west") << QByteArray("America/Los_Angeles") << -8 * 3600 << QByteArray("Mar  5  2024")
                                   << QStringLiteral("2024.03.05 00:00");
        QTest::newRow("day, east") << QByteArray("Pacific/Kiritimati") << 14 * 3600 << QByteArray("Mar  5  2024")
                                   << QStringLiteral("2024.03.05 00:00");
        QTest::newRow("time, west") << QByteArray("America/Los_Angeles") << -8 * 3600 << QByteArray("Mar  5 14:07")
                                    << QStringLiteral("2024.03.05 06:07");
        QTest::newRow("time, east") << QByteArray("Pacific/Kiritimati") << 14 * 3600 << QByteArray("Mar  5 14:07")
                                    << QStringLiteral("2024.03.06 04:07");
    }
    void listDatesInEveryZone()
    {
        QFETCH(QByteArray, zone);
        QFETCH(int, offset);
        QFETCH(QByteArray, column);
        QFETCH(QString, shown);
        const bool hadZone = qEnvironmentVariableIsSet("TZ");
        const QByteArray savedZone = qgetenv("TZ");
        const auto restore = qScopeGuard([&] { hadZone ? qputenv("TZ", savedZone) : qunsetenv("TZ"); });
        qputenv("TZ", zone);
        QCOMPARE(QDateTime(QDate(2024, 3, 5), QTime(12, 0)).offsetFromUtc(), offset);
        const QDateTime now(QDate(2024, 6, 1), QTime(12, 0), QTimeZone::utc());
        const QDateTime date = inet::FtpListingParser::parseListTime(column, now);
        QCOMPARE(date.toLocalTime().toString(QStringLiteral("yyyy.MM.dd HH:mm")), shown);
    }

    // A server whose listings carry forged names ("../../x", "d/x", "..") gets
    // only its real entries through, from MLSD and LIST alike.
    void forgedNamesAreNotListed_data() { listingGivesKindsSizesAndDates_data(); }
    void forgedNamesAreNotListed()
    {
        QFETCH(bool, mlsdServer);
        QTemporaryDir root;
        QVERIFY(FtpTestTree::makeSecond(root.path()));
        QVERIFY(FtpTestTree::writeFile(root.filePath(QStringLiteral("izvan.txt")), "izvan\n"));
        PeerProcess peer;
        const quint16 port = PeerProcess::freePort();
        const QString script
            = qEnvironmentVariable("TORVEX_SOURCE_DIR") + QStringLiteral("/tests/ftp/support/forged_listing_ftp.py");
        QVERIFY2(peer.start(QStringLiteral("/usr/bin/python3"),
                     { script, QStringLiteral("--port"), QString::number(port), QStringLiteral("--root"), root.path() },
                     QStringLiteral("127.0.0.1"), port),
            qPrintable(peer.errorText()));
        inet::CurlDriver driver;
        FtpSession session(driver, inet::FtpLogin { .host = QStringLiteral("127.0.0.1"), .port = port });
        session.setListing(mlsdServer ? FtpSession::Listing::Mlsd : FtpSession::Listing::List);
        QSignalSpy listed(&session, &FtpSession::listed);
        session.list(QByteArray(), 5);
        QTRY_COMPARE_WITH_TIMEOUT(listed.size(), 1, 10000);
        QCOMPARE(listed.first().at(2).toInt(), 0);
        QStringList names;
        for (const inet::FtpEntry &entry : listed.first().at(1).value<FtpEntries>())
            names.append(entry.name);
        names.sort();
        QCOMPARE(names,
            QStringList({ QStringLiteral("drugi dir"), QStringLiteral("drugi.txt"), QStringLiteral("izvan.txt") }));
    }

    void emptyDirectoryListsNothing_data() { listingGivesKindsSizesAndDates_data(); }
    void emptyDirectoryListsNothing()
    {
        QFETCH(bool, mlsdServer);
        Client client(mlsdServer ? m_mlsd : m_list);
        QVERIFY(client.open());
        QVERIFY(client.list(QStringLiteral("prazan")));
        QCOMPARE(*client.listError, 0);
        QVERIFY(client.entries.isEmpty());
    }

    void missingDirectoryFails_data() { listingGivesKindsSizesAndDates_data(); }
    void missingDirectoryFails()
    {
        QFETCH(bool, mlsdServer);
        Client client(mlsdServer ? m_mlsd : m_list);
        QVERIFY(client.open());
        QVERIFY(client.list(QStringLiteral("nema ga")));
        QVERIFY(*client.listError != 0);
    }

    // The listing after the login goes over the login's control connection: no new
    // connection is reported for it.
    void listingReusesTheLoginConnection()
    {
        Client client(m_mlsd);
        QVERIFY(client.open());
        QVERIFY(client.statuses.contains(20));
        QVERIFY(client.statuses.contains(21));
        QCOMPARE(client.statuses.first(), 60);
        QCOMPARE(client.statuses.last(), 100);
        client.statuses.clear();
        QVERIFY(client.list(QString()));
        QVERIFY(!client.statuses.contains(20));
        QVERIFY(client.statuses.contains(30));
        QVERIFY(client.statuses.contains(42));
        QVERIFY(client.statuses.indexOf(40) < client.statuses.indexOf(41));
        QCOMPARE(client.statuses.last(), 100);
    }

    // A proxy named in the environment (here one where nobody listens) is not used.
    void environmentProxyIsNotUsed()
    {
        const QByteArray refused = "http://127.0.0.1:" + QByteArray::number(PeerProcess::freePort());
        const QByteArrayList names { "ftp_proxy", "all_proxy", "ALL_PROXY" };
        for (const QByteArray &name : names)
            qputenv(name.constData(), refused);
        const auto restore = qScopeGuard([&] {
            for (const QByteArray &name : names)
                qunsetenv(name.constData());
        });
        Client client(m_list);
        QVERIFY(client.open());
        QVERIFY(client.list(QString()));
        QCOMPARE(*client.listError, 0);
        QVERIFY(client.find(QStringLiteral("two.bin")));
    }

    void failedLoginsGiveTheirCodes_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("reachable");
        QTest::addColumn<int>("error");
        QTest::newRow("wrong password") << QStringLiteral("ivo") << QStringLiteral("kriva") << true << 12015;
        QTest::newRow("unknown user") << QStringLiteral("niko") << QStringLiteral("x") << true << 12015;
        QTest::newRow("nobody listening") << QString() << QString() << false << 12029;
    }
    void failedLoginsGiveTheirCodes()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(bool, reachable);
        QFETCH(int, error);
        inet::CurlDriver driver;
        const quint16 port = reachable ? m_mlsd.port() : PeerProcess::freePort();
        FtpSession session(driver,
            inet::FtpLogin { .host = QStringLiteral("127.0.0.1"), .port = port, .user = user, .password = password });
        QSignalSpy opened(&session, &FtpSession::opened);
        session.open(7);
        QTRY_COMPARE_WITH_TIMEOUT(opened.size(), 1, 10000);
        QCOMPARE(opened.first().at(0).value<quintptr>(), quintptr(7));
        QCOMPARE(opened.first().at(1).toInt(), error);
    }

    void downloadIsByteIdentical_data()
    {
        QTest::addColumn<QString>("remote");
        QTest::newRow("empty") << QStringLiteral("empty.txt");
        QTest::newRow("500 bytes") << QStringLiteral("small.bin");
        QTest::newRow("capitals") << QStringLiteral("ReadMe.TXT");
        QTest::newRow("blanks and non-ASCII") << QStringLiteral("sub dir/čćžšđ datoteka.txt");
    }
    void downloadIsByteIdentical()
    {
        QFETCH(QString, remote);
        QTemporaryDir target;
        Client client(m_mlsd);
        QVERIFY(client.open());
        const QString local = target.filePath(QStringLiteral("kopija"));
        client.session.download(remote.toUtf8(), local, 3);
        QTRY_VERIFY_WITH_TIMEOUT(client.downloadError.has_value(), 10000);
        QCOMPARE(*client.downloadError, 0);
        QCOMPARE(FtpTestTree::fileDigest(local), FtpTestTree::fileDigest(m_root.filePath(remote)));
    }

    // A failed download leaves an existing local file as it was and no partial file.
    void failedDownloadKeepsTheLocalFile()
    {
        QTemporaryDir target;
        const QString local = target.filePath(QStringLiteral("postoji.txt"));
        QVERIFY(FtpTestTree::writeFile(local, "staro"));
        Client client(m_mlsd);
        QVERIFY(client.open());
        client.session.download("nema.bin", local, 3);
        QTRY_VERIFY_WITH_TIMEOUT(client.downloadError.has_value(), 10000);
        QVERIFY(*client.downloadError != 0);
        QFile file(local);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("staro"));
        QCOMPARE(
            QDir(target.path()).entryList(QDir::Files | QDir::Hidden), QStringList { QStringLiteral("postoji.txt") });
    }

    void unwritableTargetFails()
    {
        Client client(m_mlsd);
        QVERIFY(client.open());
        client.session.download("small.bin", QStringLiteral("/proc/nije/moguce"), 3);
        QTRY_VERIFY_WITH_TIMEOUT(client.downloadError.has_value(), 10000);
        QVERIFY(*client.downloadError != 0);
    }

    // A closed session says nothing more, even with a request under way.
    void closeSilencesEveryRequest()
    {
        Client client(m_mlsd);
        QVERIFY(client.open());
        client.statuses.clear();
        client.session.list(QByteArray(), 2);
        client.session.close();
        QTest::qWait(500);
        QVERIFY(!client.listError.has_value());
        QCOMPARE(client.statuses, QList<int> { 60 });
    }

    // Listings and downloads one after another on the kept-alive connection all end.
    void manyRequestsOnOneConnectionAllFinish()
    {
        QTemporaryDir target;
        Client client(m_mlsd);
        QVERIFY(client.open());
        for (int i = 0; i < 15; ++i) {
            QVERIFY(client.list(QString()));
            client.downloadError.reset();
            client.session.download("small.bin", target.filePath(QStringLiteral("k")), 3);
            QTRY_VERIFY_WITH_TIMEOUT(client.downloadError.has_value(), 20000);
            QCOMPARE(*client.downloadError, 0);
        }
    }

private:
    QTemporaryDir m_root;
    PyftpdlibPeer m_mlsd;
    PyftpdlibPeer m_list;
};

QTEST_GUILESS_MAIN(TestFtpSession)
#include "tst_ftpsession.moc"
