// Serves one directory with our engine and with lighttpd on loopback, drives both
// with wrk (every request on a connection of its own) for a small and a large
// file, and prints requests per second, throughput and the ratios, then the
// engine's peak memory under 200 concurrent connections.
//
//   server                      run the whole benchmark
//   server --serve DIR PORT     our engine alone, delay 0 (used by the run)

#include "platform/SettingsFile.h"
#include "server/ServerEngine.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace {

struct Figures
{
    double requests = 0; // per second
    double megabytes = 0; // per second
};

int runEngine(const QString &directory, int port)
{
    QTemporaryDir settingsDir;
    SettingsFile settings(settingsDir.filePath(QStringLiteral("TORVEX.INI")));
    settings.writeMany(SettingsFile::toolSection(),
        { { QStringLiteral("WShttpPath"), directory }, { QStringLiteral("WShttpStr"), QStringLiteral("default.htm") },
            { QStringLiteral("WShttpDel"), QStringLiteral("0") }, { QStringLiteral("WShttpDir"), QStringLiteral("1") },
            { QStringLiteral("WShttpPort"), QString::number(port) } });
    ServerEngine engine(settings);
    engine.setBindAddress(QStringLiteral("127.0.0.1"));
    QMetaObject::invokeMethod(&engine, &ToolEngine::start, Qt::QueuedConnection);
    return QCoreApplication::exec();
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool waitForPort(quint16 port)
{
    for (int attempt = 0; attempt < 200; ++attempt) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (socket.waitForConnected(100))
            return true;
        QThread::msleep(50);
    }
    return false;
}

double unitValue(const QString &number, const QString &unit)
{
    double value = number.toDouble();
    if (unit.startsWith(u'K'))
        value /= 1024;
    else if (unit.startsWith(u'G'))
        value *= 1024;
    else if (unit == u"B")
        value /= 1024 * 1024;
    return value;
}

Figures runWrk(const QString &url, int connections, int seconds)
{
    QProcess wrk;
    wrk.start(QStringLiteral("wrk"),
        { QStringLiteral("-t2"), QStringLiteral("-c%1").arg(connections), QStringLiteral("-d%1s").arg(seconds),
            QStringLiteral("-H"), QStringLiteral("Connection: close"), url });
    wrk.waitForFinished(seconds * 1000 + 30000);
    const QString output = QString::fromLocal8Bit(wrk.readAllStandardOutput());
    Figures figures;
    const auto requests = QRegularExpression(QStringLiteral("Requests/sec:\\s+([0-9.]+)")).match(output);
    if (requests.hasMatch())
        figures.requests = requests.captured(1).toDouble();
    const auto transfer = QRegularExpression(QStringLiteral("Transfer/sec:\\s+([0-9.]+)([KMG]?B)")).match(output);
    if (transfer.hasMatch())
        figures.megabytes = unitValue(transfer.captured(1), transfer.captured(2));
    const auto errors = QRegularExpression(QStringLiteral("Socket errors:[^\\n]*|Non-2xx[^\\n]*")).match(output);
    if (errors.hasMatch())
        std::printf("  (%s: %s)\n", qPrintable(url), qPrintable(errors.captured(0)));
    return figures;
}

qint64 peakKilobytes(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const auto match
        = QRegularExpression(QStringLiteral("VmHWM:\\s+(\\d+) kB")).match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

bool writeFile(const QString &path, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(4096, 'x');
    for (qint64 written = 0; written < size; written += block.size())
        file.write(block.constData(), qMin<qint64>(block.size(), size - written));
    return true;
}

bool startLighttpd(QProcess &process, const QTemporaryDir &work, const QString &root, quint16 port)
{
    const QString config = work.filePath(QStringLiteral("lighttpd.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QStringLiteral("server.document-root = \"%1\"\nserver.bind = \"127.0.0.1\"\nserver.port = %2\n"
                              "server.errorlog = \"%3\"\nserver.max-connections = 1024\n"
                              "mimetype.assign = (\"\" => \"application/octet-stream\")\n")
                   .arg(root, QString::number(port), work.filePath(QStringLiteral("error.log")))
                   .toUtf8());
    file.close();
    process.start(QStringLiteral("/usr/sbin/lighttpd"), { QStringLiteral("-D"), QStringLiteral("-f"), config });
    return process.waitForStarted() && waitForPort(port);
}

int runBenchmark(const QString &self)
{
    QTemporaryDir work;
    const QString root = work.filePath(QStringLiteral("www"));
    QDir().mkpath(root);
    if (!writeFile(root + QStringLiteral("/file4k.bin"), 4096)
        || !writeFile(root + QStringLiteral("/file1m.bin"), 1 << 20))
        return 1;

    const quint16 ourPort = freePort();
    QProcess ours;
    ours.start(self, { QStringLiteral("--serve"), root + u'/', QString::number(ourPort) });
    if (!ours.waitForStarted() || !waitForPort(ourPort)) {
        std::printf("our server did not start\n");
        return 1;
    }
    const quint16 peerPort = freePort();
    QProcess lighttpd;
    if (!startLighttpd(lighttpd, work, root, peerPort)) {
        std::printf("lighttpd did not start\n");
        return 1;
    }

    constexpr int Seconds = 5;
    constexpr int Connections = 50;
    double ratio = 1e9;
    for (const QString &name : { QStringLiteral("file4k.bin"), QStringLiteral("file1m.bin") }) {
        const Figures our
            = runWrk(QStringLiteral("http://127.0.0.1:%1/%2").arg(ourPort).arg(name), Connections, Seconds);
        const Figures peer
            = runWrk(QStringLiteral("http://127.0.0.1:%1/%2").arg(peerPort).arg(name), Connections, Seconds);
        const double requestRatio = peer.requests > 0 ? our.requests / peer.requests : 0;
        std::printf("%s: torvex %.0f req/s %.1f MB/s, lighttpd %.0f req/s %.1f MB/s, ratio %.2f\n", qPrintable(name),
            our.requests, our.megabytes, peer.requests, peer.megabytes, requestRatio);
        ratio = qMin(ratio, requestRatio);
    }
    const Figures crowd = runWrk(QStringLiteral("http://127.0.0.1:%1/file1m.bin").arg(ourPort), 200, 3);
    if (ours.state() != QProcess::Running) {
        std::printf("our server ended during the run (exit %d): %s\n", ours.exitCode(),
            ours.readAllStandardError().constData());
        return 1;
    }
    std::printf("200 concurrent connections, 1 MB file: torvex %.0f req/s, peak RSS %lld kB\n", crowd.requests,
        peakKilobytes(ours.processId()));
    ours.kill();
    lighttpd.kill();
    ours.waitForFinished();
    lighttpd.waitForFinished();
    std::printf("ratio %.2f\n", ratio);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() == 4 && arguments[1] == u"--serve")
        return runEngine(arguments[2], arguments[3].toInt());
    return runBenchmark(app.applicationFilePath());
}
