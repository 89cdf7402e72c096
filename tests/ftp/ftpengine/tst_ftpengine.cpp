#include "common/PyftpdlibPeer.h"
#include "ftp/FtpEngine.h"
#include "ftp/ServerAddress.h"
#include "ftp/support/FtpTestTree.h"
#include "platform/SettingsFile.h"
#include "platform/ToolSettings.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <utime.h>

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
    QStringList questions; // "server fingerprint" of each certificate question
    QStringList changes; // the same of each changed certificate

    explicit Tool(bool start = true)
    {
        engine = std::make_unique<FtpEngine>(settings(), work.path());
        QObject::connect(
            engine.get(), &FtpEngine::statusChanged, [this](const QString &text) { statuses.append(text); });
        QObject::connect(engine.get(), &FtpEngine::beepRequested, [this](bool good) {
            ++beeps;
            lastBeepGood = good;
        });
        QObject::connect(
            engine.get(), &FtpEngine::certificateQuestion, [this](const QString &server, const QString &fingerprint) {
                questions.append(server + u' ' + fingerprint);
            });
        QObject::connect(engine.get(), &FtpEngine::certificateChanged,
            [this](const QString &server, const QString &fingerprint) { changes.append(server + u' ' + fingerprint); });
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
    // The status texts that show a running download's figures.
    QStringList progressTexts() const
    {
        static const QRegularExpression figures(QStringLiteral("^\\S+  \\d+( / \\d+ Kb  \\d+%| Kb)  \\d+ k/s$"));
        return statuses.filter(figures);
    }
};

// "[digits]" of a status text, in order.
QList<qint64> numbersIn(const QString &text)
{
    QList<qint64> numbers;
    static const QRegularExpression digits(QStringLiteral("\\d+"));
    for (auto match = digits.globalMatch(text); match.hasNext();)
        numbers.append(match.next().captured().toLongLong());
    return numbers;
}

// A TLS server on a certificate of its own, and what it logged.
struct TlsServer
{
    QTemporaryDir files;
    PyftpdlibPeer peer;
    QString log;

    bool start(const QString &root, quint16 port = 0)
    {
        QString error;
        const QString certificate = files.filePath(QStringLiteral("cert.pem"));
        log = files.filePath(QStringLiteral("ftp.log"));
        if (!PyftpdlibPeer::makeCertificate(certificate, files.filePath(QStringLiteral("key.pem")), &error)) {
            qWarning("%s", qPrintable(error));
            return false;
        }
        return peer.start(root,
            { .user = User,
                .password = Password,
                .port = port,
                .certificate = certificate,
                .key = files.filePath(QStringLiteral("key.pem")),
                .log = log });
    }
    QString fingerprint() const
    {
        return QString::fromLatin1(
            FtpTestTree::certificateDigest(files.filePath(QStringLiteral("cert.pem"))).toHex(':').toUpper());
    }
    QByteArray logged() const { return FtpTestTree::readAll(log); }
};

bool setDirectoryTime(const QString &path, const QDateTime &time)
{
    const utimbuf times { time.toSecsSinceEpoch(), time.toSecsSinceEpoch() };
    return utime(QFile::encodeName(path).constData(), &times) == 0;
}

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

    // A server offering TLS is logged in to and downloaded from encrypted. Its
    // self-signed certificate is asked about before a word of the login is sent:
    // no leaves the server alone, yes is kept and never asked again, and a
    // later different certificate for the server is refused.
    void tlsWithATrustedCertificate()
    {
        TlsServer server;
        QVERIFY2(server.start(m_root.path()), qPrintable(server.peer.errorText()));
        const QString question = server.peer.address() + u' ' + server.fingerprint();
        Tool tool;
        tool.connectTo(server.peer);
        QTRY_COMPARE_WITH_TIMEOUT(tool.questions, QStringList { question }, 10000);
        QCOMPARE(tool.engine->status(), QStringLiteral("nepoznat certifikat servera: čekam odgovor ..."));
        QVERIFY(tool.engine->rows().isEmpty());
        QVERIFY(server.logged().contains("<- AUTH TLS"));
        QVERIFY(!server.logged().contains("<- USER"));
        tool.engine->answerCertificate(false);
        QCOMPARE(tool.engine->status(), QStringLiteral("certifikat nije prihvaćen: veza prekinuta"));
        QVERIFY(tool.settings().read(SettingsFile::toolSection(), QStringLiteral("FTPCert")).isEmpty());

        // Asked again on the next connect; this time the answer is yes.
        tool.engine->connectToServer();
        QTRY_COMPARE_WITH_TIMEOUT(tool.questions.size(), 2, 10000);
        tool.engine->answerCertificate(true);
        QVERIFY2(tool.listed(), qPrintable(tool.statuses.join(u'|')));
        QCOMPARE(tool.settings().read(SettingsFile::toolSection(), QStringLiteral("FTPCert")),
            server.peer.address() + u'=' + server.fingerprint().remove(u':').toLower());
        QVERIFY(tool.downloadAndWait(QStringLiteral("two.bin")));
        QVERIFY(tool.lastBeepGood);
        QCOMPARE(FtpTestTree::fileDigest(tool.work.filePath(QStringLiteral("two.bin"))),
            FtpTestTree::fileDigest(m_root.filePath(QStringLiteral("two.bin"))));
        const QByteArray logged = server.logged();
        QVERIFY(logged.contains("<- PROT P"));
        QVERIFY(logged.indexOf("<- AUTH TLS") < logged.indexOf("<- USER"));
        QVERIFY(!tool.statuses.contains(QStringLiteral("veza nije šifrirana: server ne nudi TLS")));

        // A later window of the tool trusts it without asking.
        const SettingsFile settings = tool.settings();
        tool.engine->stop();
        tool.engine = std::make_unique<FtpEngine>(settings, tool.work.path());
        QObject::connect(tool.engine.get(), &FtpEngine::certificateQuestion, [&] { tool.questions.append(QString()); });
        tool.engine->start();
        tool.connectTo(server.peer);
        QVERIFY(tool.listed());
        QCOMPARE(tool.questions.size(), 2);

        // The same server with another certificate is refused before the login.
        const quint16 port = server.peer.port();
        server.peer.stop();
        TlsServer impostor;
        QVERIFY2(impostor.start(m_root.path(), port), qPrintable(impostor.peer.errorText()));
        QObject::connect(tool.engine.get(), &FtpEngine::certificateChanged,
            [&](const QString &name, const QString &fingerprint) { tool.changes.append(name + u' ' + fingerprint); });
        tool.engine->connectToServer();
        QTRY_COMPARE_WITH_TIMEOUT(
            tool.changes, QStringList { impostor.peer.address() + u' ' + impostor.fingerprint() }, 10000);
        QCOMPARE(tool.engine->status(), QStringLiteral("certifikat servera promijenjen: veza odbijena"));
        QCOMPARE(tool.questions.size(), 2);
        QVERIFY(tool.engine->rows().isEmpty());
        QVERIFY(!impostor.logged().contains("<- USER"));
    }

    // A certificate a known authority vouches for, naming the server, needs no
    // question; one naming another server is asked about like a self-signed one.
    void tlsWithAnAuthority_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("asked");
        QTest::newRow("names the server") << QStringLiteral("127.0.0.1") << false;
        QTest::newRow("names another server") << QStringLiteral("127.0.0.2") << true;
    }
    void tlsWithAnAuthority()
    {
        QFETCH(QString, host);
        QFETCH(bool, asked);
        const QString tls = qEnvironmentVariable("TORVEX_SOURCE_DIR") + QStringLiteral("/tests/common/tls/");
        const QString certificate = tls + QStringLiteral("loopback.pem");
        QTemporaryDir logs;
        const QString log = logs.filePath(QStringLiteral("ftp.log"));
        PyftpdlibPeer server;
        QVERIFY2(server.start(m_root.path(),
                     { .user = User,
                         .password = Password,
                         .host = host,
                         .certificate = certificate,
                         .key = certificate,
                         .log = log }),
            qPrintable(server.errorText()));
        Tool tool;
        tool.engine->setCaFile(tls + QStringLiteral("loopback-ca.pem"));
        tool.connectTo(server);
        if (asked) {
            QTRY_COMPARE_WITH_TIMEOUT(tool.questions.size(), 1, 10000);
            QVERIFY(tool.engine->rows().isEmpty());
            return;
        }
        QVERIFY(tool.listed());
        // "Spoji se" again is a new login, encrypted again, never a kept connection.
        tool.engine->connectToServer();
        QVERIFY(QTest::qWaitFor([&] { return FtpTestTree::readAll(log).count("<- AUTH TLS") == 2; }, 10000));
        QVERIFY(tool.listed());
        QVERIFY(tool.questions.isEmpty());
        QVERIFY(!tool.statuses.contains(QStringLiteral("veza nije šifrirana: server ne nudi TLS")));
        QVERIFY(tool.settings().read(SettingsFile::toolSection(), QStringLiteral("FTPCert")).isEmpty());
    }

    // A 50 MB download broken at about 10 MB by a server that dies keeps what
    // arrived beside the target, which stays as it was. The next download goes
    // on from there with REST when the remote file is unchanged, and starts over
    // when it changed; the file is byte-identical either way.
    void brokenDownloadResumes_data()
    {
        QTest::addColumn<bool>("changed");
        QTest::newRow("unchanged") << false;
        QTest::newRow("changed on the server") << true;
    }
    void brokenDownloadResumes()
    {
        QFETCH(bool, changed);
        QTemporaryDir root;
        QTemporaryDir logs;
        const QString remote = root.filePath(QStringLiteral("big.bin"));
        QVERIFY(FtpTestTree::writeFile(remote, FtpTestTree::randomBytes(FtpTestTree::BigFileSize)));
        PyftpdlibPeer peer;
        QVERIFY2(peer.start(root.path(), { .user = User, .password = Password, .throttle = 20 * 1024 * 1024 }),
            qPrintable(peer.errorText()));
        Tool tool;
        const QString local = tool.work.filePath(QStringLiteral("big.bin"));
        QVERIFY(FtpTestTree::writeFile(local, "staro"));
        tool.connectTo(peer);
        QVERIFY(tool.listed());
        tool.engine->downloadRow(tool.rowOf(QStringLiteral("big.bin")));
        QVERIFY(QTest::qWaitFor(
            [&] {
                const QStringList found = FtpTestTree::partials(tool.work.path(), QStringLiteral("big.bin"));
                return found.size() == 1 && QFileInfo(found.first()).size() >= 10 * 1024 * 1024;
            },
            20000));
        peer.kill();
        QTRY_VERIFY_WITH_TIMEOUT(tool.beeps == 1, 20000);
        QVERIFY(!tool.lastBeepGood);
        QVERIFY(tool.statuses.contains(QStringLiteral("big.bin  ERROR!")));
        QCOMPARE(FtpTestTree::readAll(local), QByteArray("staro"));
        const QStringList kept = FtpTestTree::partials(tool.work.path(), QStringLiteral("big.bin"));
        QCOMPARE(kept.size(), 1);
        const qint64 keptSize = QFileInfo(kept.first()).size();
        QVERIFY(keptSize >= 10 * 1024 * 1024 && keptSize < FtpTestTree::BigFileSize);

        if (changed) {
            QVERIFY(FtpTestTree::writeFile(remote, FtpTestTree::randomBytes(FtpTestTree::BigFileSize)));
            QFile file(remote);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(QDateTime::currentDateTimeUtc().addDays(-3), QFileDevice::FileModificationTime));
        }
        const QString log = logs.filePath(QStringLiteral("ftp.log"));
        QVERIFY2(peer.start(root.path(), { .user = User, .password = Password, .port = peer.port(), .log = log }),
            qPrintable(peer.errorText()));
        QVERIFY(tool.downloadAndWait(QStringLiteral("big.bin")));
        QVERIFY(tool.lastBeepGood);
        QCOMPARE(FtpTestTree::fileDigest(local), FtpTestTree::fileDigest(remote));
        const QByteArray logged = FtpTestTree::readAll(log);
        const bool resumed = logged.contains(QByteArray("<- REST " + QByteArray::number(keptSize)));
        QCOMPARE(resumed, !changed);
        QCOMPARE(QRegularExpression(QStringLiteral("<- REST [1-9]")).match(QString::fromLatin1(logged)).hasMatch(),
            !changed);
        QVERIFY(FtpTestTree::partials(tool.work.path(), QStringLiteral("big.bin")).isEmpty());
    }

    // While a file arrives the status line shows its bytes, size, share and rate,
    // at least once a second; "Prekid" ends it and keeps what arrived.
    void progressWhileArrivingAndStop()
    {
        QTemporaryDir root;
        QVERIFY(
            FtpTestTree::writeFile(root.filePath(QStringLiteral("spori.bin")), FtpTestTree::randomBytes(2048 * 1024)));
        PyftpdlibPeer peer;
        QVERIFY2(peer.start(root.path(), { .user = User, .password = Password, .throttle = 256 * 1024 }),
            qPrintable(peer.errorText()));
        Tool tool;
        tool.connectTo(peer);
        QVERIFY(tool.listed());
        QSignalSpy transferring(tool.engine.get(), &FtpEngine::transferringChanged);
        tool.engine->downloadRow(tool.rowOf(QStringLiteral("spori.bin")));
        QVERIFY(QTest::qWaitFor([&] { return !tool.progressTexts().isEmpty(); }, 5000));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(QTest::qWaitFor([&] { return tool.progressTexts().size() >= 4; }, 3000));
        QVERIFY2(clock.elapsed() < 3 * 1000, "three refreshes took more than three seconds");
        const QStringList seen = tool.progressTexts();
        qint64 previous = -1;
        for (const QString &text : seen) {
            const QList<qint64> numbers = numbersIn(text);
            QCOMPARE(numbers.size(), 4);
            QVERIFY(text.startsWith(QStringLiteral("spori.bin  ")));
            QCOMPARE(numbers.at(1), 2048); // Kb of the whole file
            QCOMPARE(numbers.at(2), numbers.at(0) * 100 / 2048);
            QVERIFY(numbers.at(0) >= previous);
            previous = numbers.at(0);
        }
        QVERIFY2(numbersIn(seen.last()).at(3) > 0, qPrintable(seen.last()));

        tool.engine->stopDownload();
        QTRY_COMPARE_WITH_TIMEOUT(tool.engine->status(), QStringLiteral("spori.bin  PREKINUT"), 5000);
        QCOMPARE(tool.engine->transferState(), 0);
        QCOMPARE(transferring.last().at(0).toBool(), false);
        QCOMPARE(tool.beeps, 0);
        QVERIFY(!QFileInfo::exists(tool.work.filePath(QStringLiteral("spori.bin"))));
        const QStringList kept = FtpTestTree::partials(tool.work.path(), QStringLiteral("spori.bin"));
        QCOMPARE(kept.size(), 1);
        QVERIFY(QFileInfo(kept.first()).size() >= previous * 1024);
    }

    // A server that lists in DOS style and names files in Windows-1250: its dates
    // fill "Datum", its names show right and are downloaded and entered by the
    // server's own bytes.
    void dosServerWithWindows1250Names()
    {
        QTemporaryDir root;
        const QString file = QStringLiteral("čćžšđ datoteka.txt");
        const QString folder = QStringLiteral("Đačka mapa");
        QVERIFY(QDir(root.path()).mkpath(folder));
        QVERIFY(FtpTestTree::writeFile(root.filePath(file), FtpTestTree::randomBytes(3000)));
        QVERIFY(FtpTestTree::writeFile(root.filePath(folder + QStringLiteral("/unutra.txt")), "unutra\n"));
        const QDateTime fileTime(QDate(2019, 11, 30), QTime(12, 15));
        const QDateTime folderTime(QDate(2026, 1, 2), QTime(0, 40));
        QFile dated(root.filePath(file));
        QVERIFY(dated.open(QIODevice::ReadWrite) && dated.setFileTime(fileTime, QFileDevice::FileModificationTime));
        dated.close();
        QVERIFY(setDirectoryTime(root.filePath(folder), folderTime));
        PeerProcess server;
        const quint16 port = PeerProcess::freePort();
        const QString script
            = qEnvironmentVariable("TORVEX_SOURCE_DIR") + QStringLiteral("/tests/ftp/support/dos_listing_ftp.py");
        QVERIFY2(server.start(QStringLiteral("/usr/bin/python3"),
                     { script, QStringLiteral("--port"), QString::number(port), QStringLiteral("--root"), root.path() },
                     QStringLiteral("127.0.0.1"), port),
            qPrintable(server.errorText()));
        Tool tool;
        tool.engine->setFields(
            QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral("anonymous"), QString(), tool.downloads());
        tool.engine->connectToServer();
        QVERIFY(tool.listed(1));
        const FtpRow shownFile = tool.engine->rows().at(tool.rowOf(file));
        QCOMPARE(shownFile.kind, FtpRow::File);
        QCOMPARE(shownFile.date, QStringLiteral("2019.11.30 12:15"));
        QCOMPARE(shownFile.size, QStringLiteral("2"));
        const FtpRow shownFolder = tool.engine->rows().at(tool.rowOf(folder));
        QCOMPARE(shownFolder.kind, FtpRow::Directory);
        QCOMPARE(shownFolder.date, QStringLiteral("2026.01.02 00:40"));

        QVERIFY(tool.downloadAndWait(file));
        QVERIFY(tool.lastBeepGood);
        QCOMPARE(FtpTestTree::fileDigest(tool.work.filePath(file)), FtpTestTree::fileDigest(root.filePath(file)));
        tool.engine->openRow(tool.rowOf(folder));
        QTRY_VERIFY_WITH_TIMEOUT(tool.rowOf(QStringLiteral("unutra.txt")) > 0, 10000);
        QCOMPARE(tool.engine->remotePath(), u'/' + folder);
    }

    // A link to a directory is entered on a double-click; one to a file is
    // downloaded, from the double-click and from "Prebaci u", whatever the
    // listing command.
    void symbolicLinks_data() { topLevelListing_data(); }
    void symbolicLinks()
    {
        QFETCH(bool, mlsd);
        QTemporaryDir root;
        QVERIFY(QDir(root.path()).mkpath(QStringLiteral("Pub")));
        QVERIFY(FtpTestTree::writeFile(root.filePath(QStringLiteral("Pub/unutra.txt")), FtpTestTree::randomBytes(700)));
        QVERIFY(QFile::link(QStringLiteral("Pub"), root.filePath(QStringLiteral("linkdir"))));
        QVERIFY(QFile::link(QStringLiteral("Pub/unutra.txt"), root.filePath(QStringLiteral("linkfile"))));
        PyftpdlibPeer peer;
        QVERIFY2(peer.start(root.path(), { .user = User, .password = Password, .mlsd = mlsd }),
            qPrintable(peer.errorText()));
        Tool tool;
        tool.connectTo(peer);
        QVERIFY(tool.listed(2));
        const QByteArray original = FtpTestTree::fileDigest(root.filePath(QStringLiteral("Pub/unutra.txt")));

        QVERIFY(tool.downloadAndWait(QStringLiteral("linkfile")));
        QCOMPARE(tool.engine->status(), QStringLiteral("linkfile  PREBAČEN"));
        QCOMPARE(FtpTestTree::fileDigest(tool.work.filePath(QStringLiteral("linkfile"))), original);
        // MLSD names what a link leads to; LIST names the link, which is tried.
        const FtpRow link = tool.engine->rows().at(tool.rowOf(QStringLiteral("linkfile")));
        QCOMPARE(link.kind, mlsd ? FtpRow::File : FtpRow::Link);
        if (!mlsd) {
            QFile::remove(tool.work.filePath(QStringLiteral("linkfile")));
            tool.engine->openRow(tool.rowOf(QStringLiteral("linkfile")));
            QTRY_VERIFY_WITH_TIMEOUT(tool.beeps == 2, 10000);
            QCOMPARE(tool.engine->status(), QStringLiteral("linkfile  PREBAČEN"));
            QCOMPARE(FtpTestTree::fileDigest(tool.work.filePath(QStringLiteral("linkfile"))), original);
            QCOMPARE(tool.engine->remotePath(), QStringLiteral("/"));
        }

        tool.engine->openRow(tool.rowOf(QStringLiteral("linkdir")));
        QTRY_COMPARE_WITH_TIMEOUT(tool.engine->remotePath(), QStringLiteral("/linkdir"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(tool.rowOf(QStringLiteral("unutra.txt")) == 1, 10000);
        tool.engine->openRow(0);
        QTRY_VERIFY_WITH_TIMEOUT(tool.rowOf(QStringLiteral("linkdir")) >= 0, 10000);
        QCOMPARE(tool.engine->remotePath(), QStringLiteral("/"));
    }

    // The server field takes a name or an address, IPv6 ones in brackets, with
    // or without a port.
    void serverFields_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::newRow("name") << QStringLiteral("ftp.example.hr") << QStringLiteral("ftp.example.hr") << 21;
        QTest::newRow("name and port") << QStringLiteral("ftp.example.hr:2121") << QStringLiteral("ftp.example.hr")
                                       << 2121;
        QTest::newRow("IPv6 in brackets") << QStringLiteral("[::1]") << QStringLiteral("::1") << 21;
        QTest::newRow("IPv6 and port") << QStringLiteral("[fe80::1%lo]:2121") << QStringLiteral("fe80::1%lo") << 2121;
        QTest::newRow("IPv6 without brackets") << QStringLiteral("::1") << QStringLiteral("::1") << 21;
        QTest::newRow("port out of range") << QStringLiteral("h:70000") << QStringLiteral("h:70000") << 21;
        QTest::newRow("IPv6, bad port") << QStringLiteral("[::1]:x") << QStringLiteral("[::1]:x") << 21;
    }
    void serverFields()
    {
        QFETCH(QString, field);
        QFETCH(QString, host);
        QFETCH(int, port);
        const ServerAddress address = ServerAddress::parse(field);
        QCOMPARE(address.host, host);
        QCOMPARE(int(address.port), port);
    }

    void ipv6LiteralServer()
    {
        PyftpdlibPeer peer;
        QVERIFY2(peer.start(m_secondRoot.path(), { .user = User, .password = Password, .host = QStringLiteral("::1") }),
            qPrintable(peer.errorText()));
        QCOMPARE(peer.address(), QStringLiteral("[::1]:%1").arg(peer.port()));
        Tool tool;
        tool.connectTo(peer);
        QVERIFY(tool.listed(1));
        QVERIFY(tool.downloadAndWait(QStringLiteral("drugi.txt")));
        QCOMPARE(tool.engine->status(), QStringLiteral("drugi.txt  PREBAČEN"));
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
