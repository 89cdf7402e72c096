#include "server/support/RunningServer.h"

#include "common/PeerProcess.h"
#include "platform/EngineThread.h"
#include "platform/SettingsFile.h"
#include "server/ServerEngine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpSocket>
#include <QtTest>

RunningServer::RunningServer(const Options &options)
{
    m_port = options.port ? options.port : PeerProcess::freePort();
    SettingsFile settings(settingsPath());
    settings.writeMany(SettingsFile::toolSection(),
        { { QStringLiteral("WShttpPath"), root() }, { QStringLiteral("WShttpStr"), options.defaultPage },
            { QStringLiteral("WShttpDel"), QString::number(options.delay) },
            { QStringLiteral("WShttpDir"), options.listingAllowed ? QStringLiteral("1") : QStringLiteral("0") },
            { QStringLiteral("WShttpPort"), QString::number(m_port) } });
    auto engine = std::make_unique<ServerEngine>(settings);
    engine->setBindAddresses(options.bindAddresses);
    engine->setIdleTimeout(options.idleTimeout);
    engine->setRequestTimeout(options.requestTimeout);
    engine->setKeepAliveTimeout(options.keepAliveTimeout);
    engine->setRefreshInterval(std::chrono::milliseconds(10));
    m_engine = engine.get();
    connect(m_engine, &ServerEngine::logUpdated, this, &RunningServer::onUpdate, Qt::QueuedConnection);
    connect(
        m_engine, &ServerEngine::pieceDelivered, this, [this](qint64 bytes) { m_pieces.append(bytes); },
        Qt::QueuedConnection);
    m_thread = std::make_unique<EngineThread>(std::move(engine), QStringLiteral("WS_http"));
    m_thread->start();
    QTRY_VERIFY(m_statuses.contains(QStringLiteral("waiting to accept()...")));
}

RunningServer::~RunningServer()
{
    stop();
}

bool RunningServer::stop()
{
    if (!m_thread)
        return true;
    const bool ended = m_thread->shutdown(std::chrono::seconds(10));
    m_thread.reset();
    QCoreApplication::processEvents();
    return ended;
}

void RunningServer::call(const std::function<void(ServerEngine *)> &step)
{
    ServerEngine *engine = m_engine;
    QMetaObject::invokeMethod(
        engine, [engine, step] { step(engine); }, Qt::QueuedConnection);
}

QString RunningServer::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
}

void RunningServer::addFile(const QString &relativePath, const QByteArray &content) const
{
    const QString path = root() + relativePath;
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(content), content.size());
}

void RunningServer::onUpdate(const ServerLogUpdate &update)
{
    m_cleared = m_cleared || update.cleared;
    if (update.cleared)
        m_visible.clear();
    for (const auto &row : update.rows) {
        m_statuses.append(row.status);
        m_visible.append(row.status);
    }
    m_hits = update.hits;
    m_bytes = update.bytesSent;
}

ClientRun runClient(const QString &program, const QStringList &arguments, int limitMs)
{
    ClientRun run;
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(5000)) {
        run.errors = "could not start " + program.toUtf8();
        return run;
    }
    if (!process.waitForFinished(limitMs))
        process.kill();
    process.waitForFinished(2000);
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.output = process.readAllStandardOutput();
    run.errors = process.readAllStandardError();
    return run;
}

ClientRun curl(const QString &url, const QStringList &more)
{
    return runClient(QStringLiteral("curl"),
        QStringList { QStringLiteral("-s"), QStringLiteral("-i"), QStringLiteral("--path-as-is"),
            QStringLiteral("--max-time"), QStringLiteral("20") }
            + more + QStringList { url });
}

QByteArray exchange(int port, const QByteArray &request, int limitMs)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), quint16(port));
    if (!socket.waitForConnected(limitMs))
        return {};
    socket.write(request);
    socket.waitForBytesWritten(limitMs);
    QByteArray answer;
    QElapsedTimer clock;
    clock.start();
    // Like a browser, stop once the announced length has arrived.
    while (socket.state() == QAbstractSocket::ConnectedState && clock.elapsed() < limitMs && !answerComplete(answer)) {
        socket.waitForReadyRead(100);
        answer += socket.readAll();
    }
    answer += socket.readAll();
    return answer;
}

bool answerComplete(const QByteArray &answer)
{
    const qsizetype end = answer.indexOf("\r\n\r\n");
    const qsizetype at = answer.indexOf("Content-Length: ");
    if (end < 0 || at < 0 || at > end)
        return false;
    const qint64 length = answer.mid(at + 16, answer.indexOf('\r', at) - at - 16).toLongLong();
    return answer.size() - end - 4 >= length;
}

int statusOf(const QByteArray &answer)
{
    if (!answer.startsWith("HTTP/1.0 ") && !answer.startsWith("HTTP/1.1 "))
        return 0;
    return answer.mid(9, 3).toInt();
}

QByteArray bodyOf(const QByteArray &answer)
{
    const qsizetype end = answer.indexOf("\r\n\r\n");
    return end < 0 ? QByteArray() : answer.mid(end + 4);
}
