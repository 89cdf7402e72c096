#include "common/PyftpdlibPeer.h"
#include "ftp/FtpEngine.h"
#include "ftp/support/FtpTestTree.h"
#include "platform/SettingsFile.h"
#include "platform/ToolSettings.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString User = QStringLiteral("ivo");
const QString Password = QStringLiteral("tajna");

// One engine with its own Settings file and download directory.
struct Tool
{
    QTemporaryDir work;
    std::unique_ptr<FtpEngine> engine;
    QStringList statuses;
    int beeps = 0;
    bool lastBeepGood = false;

    explicit Tool(bool start = true)
    {
        engine = std::make_unique<FtpEngine>(settings(), work.path());
        QObject::connect(
            engine.get(), &FtpEngine::statusChanged, [this](const QString &text) { statuses.append(text); });
        QObject::connect(engine.get(), &FtpEngine::beepRequested, [this](bool good) {
            ++beeps;
            lastBeepGood = good;
        });
        if (start)
            engine->start();
    }
    ~Tool()
    {
        if (engine)
            engine->stop();
    }
    SettingsFile settings() const { return SettingsFile(work.filePath(QStringLiteral("TORVEX.INI"))); }
    QString downloads() const { return work.path() + u'/'; }

    void connectTo(const PyftpdlibPeer &peer, const QString &user = User, const QString &password = Password)
    {
        engine->setFields(peer.address(), user, password, downloads());
        engine->connectToServer();
    }
    // Waits until a listing with more than `least` rows is shown.
    bool listed(int least = 0)
    {
        return QTest::qWaitFor([&] { return engine->rows().size() > least; }, 10000);
    }
    int rowOf(const QString &name) const
    {
        const FtpRows rows = engine->rows();
        for (int i = 0; i < rows.size(); ++i) {
            if (rows.at(i).name == name)
                return i;
        }
        return -1;
    }
    bool downloadAndWait(const QString &name)
    {
        const int before = beeps;
        engine->downloadRow(rowOf(name));
        return QTest::qWaitFor([&] { return beeps > before; }, 30000);
    }
};

} // namespace

class TestFtpEngine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid() && m_secondRoot.isValid());
        QVERIFY(FtpTestTree::makeMain(m_root.path(), true));
        QVERIFY(FtpTestTree::makeSecond(m_secondRoot.path()));
        QVERIFY2(
            m_server.start(m_root.path(), { .user = User, .password = Password }), qPrintable(m_server.errorText()));
        QVERIFY2(m_listServer.start(m_root.path(), { .user = User, .password = Password, .mlsd = false }),
            qPrintable(m_listServer.errorText()));
        QVERIFY2(m_second.start(
                     m_secondRoot.path(), { .user = User, .password = Password, .host = QStringLiteral("127.0.0.2") }),
            qPrintable(m_second.errorText()));
    }
    void init() { ToolSettings::resetSharedValues(); }

    // With no Settings file the six keys are written as soon as the tool opens,
    // the download directory being the working directory.
    void firstOpenWritesTheDefaults()
    {
        Tool tool;
        const SettingsFile file = tool.settings();
        const QString section = SettingsFile::toolSection();
        QCOMPARE(file.read(section, QStringLiteral("FTPServer")), QStringLiteral("ftp.gnu.org"));
        QCOMPARE(file.read(section, QStringLiteral("FTPUser")), QStringLiteral("Anonymous"));
        QCOMPARE(file.read(section, QStringLiteral("FTPTimeOut")), QStringLiteral("15000"));
        QCOMPARE(file.read(section, QStringLiteral("FTPPut")), tool.downloads());
        QCOMPARE(file.read(section, QStringLiteral("FTPSound")), QStringLiteral("1"));
        // The six keys, in their order, and nothing else, before the tool closes.
        QFile ini(file.resolvedPath());
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QStringList keys;
        for (const QByteArray &line : ini.readAll().split('\n')) {
            if (line.contains('='))
                keys.append(QString::fromUtf8(line.left(line.indexOf('='))));
        }
        QCOMPARE(keys,
            QStringList({ QStringLiteral("FTPServer"), QStringLiteral("FTPUser"), QStringLiteral("FTPPassword"),
                QStringLiteral("FTPTimeOut"), QStringLiteral("FTPPut"), QStringLiteral("FTPSound") }));
        QVERIFY(file.read(section, QStringLiteral("FTPPassword")).isEmpty());
        QCOMPARE(tool.engine->timeout(), std::chrono::milliseconds(15000));
    }

    void presentServerReadsEveryKey()
    {
        Tool tool(false);
        SettingsFile file = tool.settings();
        QVERIFY(file.write(SettingsFile::toolSection(), QStringLiteral("FTPServer"), QStringLiteral("ftp.example.hr")));
        QVERIFY(file.write(SettingsFile::toolSection(), QStringLiteral("FTPPut"), QStringLiteral("/tmp/dolje/")));
        QSignalSpy loaded(tool.engine.get(), &FtpEngine::fieldsLoaded);
        tool.engine->start();
        QCOMPARE(loaded.size(), 1);
        QCOMPARE(loaded.first().at(0).toString(), QStringLiteral("ftp.example.hr"));
        QCOMPARE(loaded.first().at(1).toString(), QString());
        QCOMPARE(loaded.first().at(3).toString(), QStringLiteral("/tmp/dolje/"));
        QCOMPARE(tool.engine->timeout(), std::chrono::milliseconds(0));
        // The missing keys are not written at opening, only when the tool closes.
        QVERIFY(file.read(SettingsFile::toolSection(), QStringLiteral("FTPSound")).isEmpty());
        tool.engine->setFields(
            QStringLiteral("drugi.hr"), QStringLiteral("marko"), QStringLiteral("x"), QStringLiteral("/tmp/gore/"));
        tool.engine->stop();
        QCOMPARE(file.read(SettingsFile::toolSection(), QStringLiteral("FTPServer")), QStringLiteral("drugi.hr"));
        QCOMPARE(file.read(SettingsFile::toolSection(), QStringLiteral("FTPUser")), QStringLiteral("marko"));
        QCOMPARE(file.read(SettingsFile::toolSection(), QStringLiteral("FTPPut")), QStringLiteral("/tmp/gore/"));
        QCOMPARE(file.read(SettingsFile::toolSection(), QStringLiteral("FTPSound")), QStringLiteral("0"));
    }

    void startShowsTheSessionTexts()
    {
        Tool tool;
        QCOMPARE(tool.statuses,
            QStringList({ QStringLiteral("InternetOpen ..."), QStringLiteral("InternetSetStatusCallBack ..."),
                QStringLiteral("InternetSetOption ..."), QStringLiteral("Zazoved5 FTP Client by ZT99") }));
        const QRegularExpression agent(QStringLiteral("^V5Ftp([1-9][0-9]{0,3})$"));
        const auto match = agent.match(tool.engine->agentName());
        QVERIFY2(match.hasMatch(), qPrintable(tool.engine->agentName()));
    }

    void topLevelListing_data()
    {
        QTest::addColumn<bool>("mlsd");
        QTest::newRow("MLSD") << true;
        QTest::newRow("LIST") << false;
    }
    void topLevelListing()
    {
        QFETCH(bool, mlsd);
        Tool tool;
        QSignalSpy caption(tool.engine.get(), &FtpEngine::captionChanged);
        tool.connectTo(mlsd ? m_server : m_listServer);
        QVERIFY(tool.listed());
        const FtpRows rows = tool.engine->rows();
        QCOMPARE(rows.size(), 6);
        QVERIFY(tool.rowOf(QStringLiteral("..")) < 0);
        const FtpRow small = rows.at(tool.rowOf(QStringLiteral("small.bin")));
        QCOMPARE(small.kind, FtpRow::File);
        QCOMPARE(small.size, QStringLiteral("1"));
        // MLSD gives the instant; LIST gives only the day (in UTC, as pyftpdlib lists),
        // which is shown as that day in every time zone.
        const QDateTime smallTime = FtpTestTree::smallFileTime();
        QCOMPARE(small.date,
            mlsd ? smallTime.toLocalTime().toString(QStringLiteral("yyyy.MM.dd HH:mm"))
                 : smallTime.toString(QStringLiteral("yyyy.MM.dd")) + QStringLiteral(" 00:00"));
        const FtpRow two = rows.at(tool.rowOf(QStringLiteral("two.bin")));
        QCOMPARE(two.size, QStringLiteral("2"));
        const QDateTime written = QFileInfo(m_root.filePath(QStringLiteral("two.bin"))).lastModified();
        QCOMPARE(two.date, written.toString(QStringLiteral("yyyy.MM.dd HH:mm")));
        QCOMPARE(rows.at(tool.rowOf(QStringLiteral("big.bin"))).size, QStringLiteral("51200"));
        QCOMPARE(rows.at(tool.rowOf(QStringLiteral("empty.txt"))).kind, FtpRow::File);
        QCOMPARE(rows.at(tool.rowOf(QStringLiteral("empty.txt"))).size, QString());
        // Unix servers give directories a size; the server's own entry type decides.
        const FtpRow directory = rows.at(tool.rowOf(QStringLiteral("sub dir")));
        QCOMPARE(directory.kind, FtpRow::Directory);
        QCOMPARE(directory.size, QString());
        QCOMPARE(rows.at(tool.rowOf(QStringLiteral("ReadMe.TXT"))).shownName(), QStringLiteral("readme.txt"));
        QCOMPARE(caption.last().at(0).toString(), (mlsd ? m_server : m_listServer).address());
        QCOMPARE(tool.engine->remotePath(), QStringLiteral("/"));
    }

    void doubleClicksWalkTheTree()
    {
        Tool tool;
        tool.connectTo(m_server);
        QVERIFY(tool.listed());
        tool.engine->openRow(tool.rowOf(QStringLiteral("sub dir")));
        QVERIFY(tool.listed(1));
        QCOMPARE(tool.engine->remotePath(), QStringLiteral("/sub dir"));
        FtpRows rows = tool.engine->rows();
        QCOMPARE(rows.first().kind, FtpRow::Parent);
        QCOMPARE(rows.first().name, QStringLiteral(".."));
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows.at(tool.rowOf(QStringLiteral("paket.zip"))).icon(), FtpRow::ArchiveIcon);
        QVERIFY(tool.rowOf(QStringLiteral("čćžšđ datoteka.txt")) > 0);

        // The server's own spelling leads the way in, capitals and all.
        tool.engine->openRow(tool.rowOf(QStringLiteral("Dublje Ćž")));
        QTRY_COMPARE_WITH_TIMEOUT(tool.rowOf(QStringLiteral("inner.txt")), 1, 10000);
        QCOMPARE(tool.engine->remotePath(), QStringLiteral("/sub dir/Dublje Ćž"));
        QVERIFY(tool.downloadAndWait(QStringLiteral("inner.txt")));
        QCOMPARE(tool.engine->status(), QStringLiteral("inner.txt  PREBAČEN"));
        QCOMPARE(FtpTestTree::fileDigest(tool.work.filePath(QStringLiteral("inner.txt"))),
            FtpTestTree::fileDigest(m_root.filePath(QStringLiteral("sub dir/Dublje Ćž/inner.txt"))));

        // A file row does nothing on a double-click.
        tool.engine->openRow(1);
        QCOMPARE(tool.engine->remotePath(), QStringLiteral("/sub dir/Dublje Ćž"));

        tool.engine->openRow(0);
        QTRY_VERIFY_WITH_TIMEOUT(tool.rowOf(QStringLiteral("paket.zip")) > 0, 10000);
        QCOMPARE(tool.engine->remotePath(), QStringLiteral("/sub dir"));
        tool.engine->openRow(0);
        QTRY_VERIFY_WITH_TIMEOUT(tool.rowOf(QStringLiteral("big.bin")) >= 0, 10000);
        QCOMPARE(tool.engine->remotePath(), QStringLiteral("/"));
        QVERIFY(tool.rowOf(QStringLiteral("..")) < 0);
    }

    // A connect and listing report the library's steps with the table's texts, in order.
    void statusTextsFollowTheSteps()
    {
        Tool tool;
        tool.statuses.clear();
        tool.connectTo(m_server);
        QVERIFY(tool.listed());
        const QStringList seen = tool.statuses;
        const QString server = m_server.address();
        QCOMPARE(seen.first(), server);
        const QStringList order { QStringLiteral("veza kreirana"), QStringLiteral("spajam se ..."),
            QStringLiteral("spojen na server"), QStringLiteral("šaljem zahtjev ..."), QStringLiteral("zahtjev poslan"),
            QStringLiteral("ctl odgovor primljen"), QStringLiteral("zahtjev izvršen"), server,
            server + QStringLiteral(" .../"), QStringLiteral("primam odgovor ..."), QStringLiteral("odgovor primljen"),
            QStringLiteral("zahtjev izvršen") };
        qsizetype at = 0;
        for (const QString &text : order) {
            at = seen.indexOf(text, at);
            QVERIFY2(at >= 0, qPrintable(text + QStringLiteral(" missing or out of order in: ") + seen.join(u'|')));
        }
        // A server without TLS is told of once, when the first listing is done.
        QCOMPARE(seen.last(), QStringLiteral("veza nije šifrirana: server ne nudi TLS"));
        QCOMPARE(seen.count(seen.last()), 1);
    }

    void failedConnectsShowTheCode_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("reachable");
        QTest::addColumn<QString>("status");
        QTest::newRow("wrong password") << QStringLiteral("kriva") << true << QStringLiteral("ERROR12015");
        QTest::newRow("unreachable") << Password << false << QStringLiteral("ERROR12029");
    }
    void failedConnectsShowTheCode()
    {
        QFETCH(QString, password);
        QFETCH(bool, reachable);
        QFETCH(QString, status);
        Tool tool;
        tool.connectTo(m_server);
        QVERIFY(tool.listed());
        const QString server
            = reachable ? m_server.address() : QStringLiteral("127.0.0.1:%1").arg(PeerProcess::freePort());
        tool.engine->setFields(server, User, password, tool.downloads());
        tool.engine->connectToServer();
        QTRY_COMPARE_WITH_TIMEOUT(tool.engine->status(), status, 10000);
        // The rows of the earlier login went with its session: none is offered.
        QVERIFY(tool.engine->rows().isEmpty());
        // The tool goes on working: the right login lists the server.
        tool.connectTo(m_server);
        QVERIFY(tool.listed());
    }

    // A second server's listing starts at its "/", wherever the first one was.
    void secondServerStartsAtTheTop()
    {
        Tool tool;
        tool.connectTo(m_server);
        QVERIFY(tool.listed());
        tool.engine->openRow(tool.rowOf(QStringLiteral("sub dir")));
        QVERIFY(tool.listed(1));
        tool.connectTo(m_second);
        QTRY_VERIFY_WITH_TIMEOUT(tool.rowOf(QStringLiteral("drugi.txt")) >= 0, 10000);
        QCOMPARE(tool.engine->remotePath(), QStringLiteral("/"));
        QCOMPARE(tool.engine->rows().size(), 2);
        QCOMPARE(tool.rowOf(QStringLiteral("..")), -1);
        QCOMPARE(tool.engine->rows().at(tool.rowOf(QStringLiteral("drugi dir"))).kind, FtpRow::Directory);
    }

    void downloadIsByteIdentical_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("name");
        QTest::newRow("empty") << QString() << QStringLiteral("empty.txt");
        QTest::newRow("500 bytes") << QString() << QStringLiteral("small.bin");
        QTest::newRow("capitals kept") << QString() << QStringLiteral("ReadMe.TXT");
        QTest::newRow("50 MB") << QString() << QStringLiteral("big.bin");
        QTest::newRow("blanks and non-ASCII") << QStringLiteral("sub dir") << QStringLiteral("čćžšđ datoteka.txt");
    }
    void downloadIsByteIdentical()
    {
        QFETCH(QString, folder);
        QFETCH(QString, name);
        Tool tool;
        tool.connectTo(m_server);
        QVERIFY(tool.listed());
        if (!folder.isEmpty()) {
            tool.engine->openRow(tool.rowOf(folder));
            QVERIFY(tool.listed(1));
        }
        QVERIFY(tool.downloadAndWait(name));
        QVERIFY(tool.lastBeepGood);
        // The status names the file as the list shows it.
        QCOMPARE(tool.engine->status(), name.toLower() + QStringLiteral("  PREBAČEN"));
        const QString remote = folder.isEmpty() ? name : folder + u'/' + name;
        QCOMPARE(FtpTestTree::fileDigest(tool.work.filePath(name)), FtpTestTree::fileDigest(m_root.filePath(remote)));
        QCOMPARE(tool.engine->transferState(), 0);
    }

    void existingLocalFileIsOverwritten()
    {
        Tool tool;
        QVERIFY(FtpTestTree::writeFile(tool.work.filePath(QStringLiteral("two.bin")), QByteArray(5000, 'x')));
        tool.connectTo(m_server);
        QVERIFY(tool.listed());
        QVERIFY(tool.downloadAndWait(QStringLiteral("two.bin")));
        QCOMPARE(QFileInfo(tool.work.filePath(QStringLiteral("two.bin"))).size(), 2048);
        QCOMPARE(FtpTestTree::fileDigest(tool.work.filePath(QStringLiteral("two.bin"))),
            FtpTestTree::fileDigest(m_root.filePath(QStringLiteral("two.bin"))));
    }

    // A download directory typed without its final "/" still gets the file inside it,
    // whatever letters and blanks its name holds.
    void directoryWithoutSlashIsJoined()
    {
        Tool tool;
        const QString target = QStringLiteral("ciljna mapa čćž");
        QVERIFY(QDir(tool.work.path()).mkdir(target));
        tool.engine->setFields(m_server.address(), User, Password, tool.work.filePath(target));
        tool.engine->connectToServer();
        QVERIFY(tool.listed());
        QVERIFY(tool.downloadAndWait(QStringLiteral("small.bin")));
        QCOMPARE(QFileInfo(tool.work.filePath(target + QStringLiteral("/small.bin"))).size(), 500);
    }

    // A file removed on the server after the listing: "ERROR!" and then the code,
    // and the list and the session stay as they were.
    void removedFileFailsAndChangesNothing()
    {
        QTemporaryDir root;
        QVERIFY(FtpTestTree::makeSecond(root.path()));
        QVERIFY(FtpTestTree::writeFile(root.filePath(QStringLiteral("prolazno.txt")), "kratko"));
        PyftpdlibPeer peer;
        QVERIFY2(peer.start(root.path()), qPrintable(peer.errorText()));
        Tool tool;
        tool.connectTo(peer, QStringLiteral("anonymous"), QString());
        QVERIFY(tool.listed(2));
        const FtpRows before = tool.engine->rows();
        QVERIFY(QFile::remove(root.filePath(QStringLiteral("prolazno.txt"))));
        tool.statuses.clear();
        QVERIFY(tool.downloadAndWait(QStringLiteral("prolazno.txt")));
        QVERIFY(!tool.lastBeepGood);
        QTRY_COMPARE_WITH_TIMEOUT(tool.engine->status(), QStringLiteral("ERROR12003"), 5000);
        QCOMPARE(tool.statuses.mid(tool.statuses.size() - 2),
            QStringList({ QStringLiteral("prolazno.txt  ERROR!"), QStringLiteral("ERROR12003") }));
        QVERIFY(!QFileInfo::exists(tool.work.filePath(QStringLiteral("prolazno.txt"))));
        QCOMPARE(tool.engine->rows().size(), before.size());
        QCOMPARE(tool.engine->remotePath(), QStringLiteral("/"));
        QCOMPARE(tool.engine->transferState(), 0);
        // The session still works.
        QVERIFY(tool.downloadAndWait(QStringLiteral("drugi.txt")));
        QVERIFY(tool.lastBeepGood);
        tool.engine->openRow(tool.rowOf(QStringLiteral("drugi dir")));
        QTRY_COMPARE_WITH_TIMEOUT(tool.engine->remotePath(), QStringLiteral("/drugi dir"), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(tool.engine->rows().size(), 1, 10000);
    }

    // "Spoji se" during a download waits for it, then connects again.
    void connectDuringDownloadReconnectsAfterIt()
    {
        Tool tool;
        tool.connectTo(m_server);
        QVERIFY(tool.listed());
        tool.engine->openRow(tool.rowOf(QStringLiteral("sub dir")));
        QVERIFY(tool.listed(1));
        tool.engine->downloadRow(0); // ".." is not a file: nothing starts
        QCOMPARE(tool.engine->transferState(), 0);
        tool.engine->openRow(0);
        QVERIFY(tool.listed(5));
        QSignalSpy caption(tool.engine.get(), &FtpEngine::captionChanged);
        tool.engine->downloadRow(tool.rowOf(QStringLiteral("big.bin")));
        QCOMPARE(tool.engine->transferState(), 1);
        tool.engine->connectToServer();
        QCOMPARE(tool.engine->transferState(), 2);
        QTRY_VERIFY_WITH_TIMEOUT(tool.beeps == 1, 30000);
        QVERIFY(tool.lastBeepGood);
        QCOMPARE(FtpTestTree::fileDigest(tool.work.filePath(QStringLiteral("big.bin"))),
            FtpTestTree::fileDigest(m_root.filePath(QStringLiteral("big.bin"))));
        QTRY_COMPARE_WITH_TIMEOUT(caption.size(), 1, 10000);
        QVERIFY(tool.listed());
        QCOMPARE(tool.engine->transferState(), 0);
    }

    // A server that takes the connection and never greets ends in a time-out after
    // the FTPTimeOut milliseconds, not after the library's own minutes.
    void silentServerTimesOut()
    {
        QTcpServer silent; // listens and never says a word
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        Tool tool(false);
        SettingsFile file = tool.settings();
        QVERIFY(file.write(SettingsFile::toolSection(), QStringLiteral("FTPServer"), m_server.address()));
        QVERIFY(file.write(SettingsFile::toolSection(), QStringLiteral("FTPTimeOut"), QStringLiteral("1000")));
        tool.engine->start();
        QCOMPARE(tool.engine->timeout(), std::chrono::milliseconds(1000));
        tool.engine->setFields(
            QStringLiteral("127.0.0.1:%1").arg(silent.serverPort()), User, Password, tool.downloads());
        tool.engine->connectToServer();
        QTRY_COMPARE_WITH_TIMEOUT(tool.engine->status(), QStringLiteral("ERROR12002"), 15000);
        QVERIFY(tool.engine->rows().isEmpty());
    }

    void soundOffMeansNoBeep()
    {
        Tool tool(false);
        SettingsFile file = tool.settings();
        QVERIFY(file.write(SettingsFile::toolSection(), QStringLiteral("FTPServer"), m_server.address()));
        QVERIFY(file.write(SettingsFile::toolSection(), QStringLiteral("FTPSound"), QStringLiteral("0")));
        tool.engine->start();
        tool.connectTo(m_server);
        QVERIFY(tool.listed());
        tool.engine->downloadRow(tool.rowOf(QStringLiteral("small.bin")));
        QTRY_COMPARE_WITH_TIMEOUT(tool.engine->status(), QStringLiteral("small.bin  PREBAČEN"), 10000);
        QCOMPARE(tool.beeps, 0);
    }

private:
    QTemporaryDir m_root;
    QTemporaryDir m_secondRoot;
    PyftpdlibPeer m_server;
    PyftpdlibPeer m_listServer;
    PyftpdlibPeer m_second;
};

QTEST_GUILESS_MAIN(TestFtpEngine)
#include "tst_ftpengine.moc"
