// Serves one directory with Torvex's "Http server" window and with lighttpd on
// loopback, drives both with wrk for a small and a large file, each request on
// a connection of its own ("Connection: close") and with wrk's default kept
// connections, and prints requests per second, throughput and every ratio,
// then the program's peak memory under 200 concurrent kept connections, and
// last "ratio R", the smallest ratio. Each figure is the median of seven runs.
//
//   server                         run the whole benchmark
//   server --serve DIR PORT WORK   the program's frame, offscreen, in the working
//                                  directory WORK, with the server window set
//                                  up as a user would (used by the run)

#include "platform/DescriptorLimit.h"
#include "platform/SettingsFile.h"
#include "platform/WindowPlacementStore.h"
#include "server/ui/ServerWindow.h"
#include "shell/ui/ToolboxFrame.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeWidget>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>

namespace {

struct Figures
{
    double requests = 0; // per second
    double megabytes = 0; // per second
    double serverMicroseconds = 0; // of the server's CPU time (all its threads) per answer
};

bool waitUntil(const std::function<bool()> &ready, int limitMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!ready()) {
        if (clock.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

int logCount(ServerWindow *window, const QString &status)
{
    int count = 0;
    for (int i = 0; i < window->log()->topLevelItemCount(); ++i)
        count += window->log()->topLevelItem(i)->text(1) == status;
    return count;
}

// The program as a user runs it: the frame, "Http server" from its menu, in a
// working directory of its own with no Settings file (a first run). The user
// then picks the port, types the directory and, wanting speed, sets
// "Kašnjenje ms" from its first-run 60 to 0.
int serveFromWindow(int argc, char **argv)
{
    DescriptorLimit::raiseSoftLimit();
    QApplication app(argc, argv);
    const QString directory = QApplication::arguments().at(2);
    const int port = QApplication::arguments().at(3).toInt();
    // The run's own directory: the run ends this process with a kill, after which nothing here is removed.
    QDir::setCurrent(QApplication::arguments().at(4));
    WindowPlacementStore placements(SettingsFile::standard());
    WindowPlacementStore::setInstance(&placements);
    int exitCode = 1;
    {
        ToolboxFrame frame(placements);
        frame.open();
        frame.action(MenuItem::HttpServer)->trigger();
        ServerWindow *window = nullptr;
        const QString listening = QStringLiteral("waiting to accept()...");
        if (!waitUntil([&] { return (window = frame.findChild<ServerWindow *>()) && logCount(window, listening) > 0; },
                10000)) {
            std::fprintf(stderr, "the server window did not open\n");
            return 1;
        }
        window->portField()->setValue(port);
        window->directoryField()->setText(directory);
        emit window->directoryField()->editingFinished();
        window->delayField()->setValue(0);
        if (!waitUntil([&] { return logCount(window, listening) > 1; }, 10000)) {
            std::fprintf(stderr, "the server did not open port %d\n", port);
            return 1;
        }
        std::printf("ready\n");
        std::fflush(stdout);
        exitCode = QApplication::exec();
    }
    WindowPlacementStore::setInstance(nullptr);
    placements.release();
    return exitCode;
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

// The CPU time a process has used so far, in microseconds.
double cpuMicroseconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    // The fields after the command name, which is in parentheses: utime and stime are the 12th and 13th.
    const QList<QByteArray> fields = text.sliced(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    return (fields[11].toDouble() + fields[12].toDouble()) * 1e6 / double(sysconf(_SC_CLK_TCK));
}

Figures runWrk(const QString &url, int connections, int seconds, bool keepAlive, qint64 serverPid)
{
    const double cpuBefore = cpuMicroseconds(serverPid);
    QStringList arguments { QStringLiteral("-t2"), QStringLiteral("-c%1").arg(connections),
        QStringLiteral("-d%1s").arg(seconds) };
    if (!keepAlive)
        arguments << QStringLiteral("-H") << QStringLiteral("Connection: close");
    QProcess wrk;
    wrk.start(QStringLiteral("wrk"), arguments << url);
    wrk.waitForFinished(seconds * 1000 + 30000);
    const double cpuUsed = cpuMicroseconds(serverPid) - cpuBefore;
    const QString output = QString::fromLocal8Bit(wrk.readAllStandardOutput());
    Figures figures;
    const auto requests = QRegularExpression(QStringLiteral("Requests/sec:\\s+([0-9.]+)")).match(output);
    if (requests.hasMatch())
        figures.requests = requests.captured(1).toDouble();
    const auto transfer = QRegularExpression(QStringLiteral("Transfer/sec:\\s+([0-9.]+)([KMG]?B)")).match(output);
    if (transfer.hasMatch())
        figures.megabytes = unitValue(transfer.captured(1), transfer.captured(2));
    const auto total = QRegularExpression(QStringLiteral("(\\d+) requests in")).match(output);
    if (total.hasMatch() && total.captured(1).toDouble() > 0)
        figures.serverMicroseconds = cpuUsed / total.captured(1).toDouble();
    const auto errors = QRegularExpression(QStringLiteral("Socket errors:[^\\n]*|Non-2xx[^\\n]*")).match(output);
    if (errors.hasMatch())
        std::printf("  (%s: %s)\n", qPrintable(url), qPrintable(errors.captured(0)));
    return figures;
}

constexpr int Rounds = 7;
using RoundFigures = std::array<Figures, Rounds>;

// Each server is run seven times, in turns whose order alternates, so that
// neither always meets the machine as the other left it; the median run of
// each counts. The runs come back slowest first.
template<typename Run>
std::pair<RoundFigures, RoundFigures> alternatingRuns(const Run &run, quint16 ourPort, quint16 peerPort)
{
    RoundFigures ours;
    RoundFigures peers;
    for (int round = 0; round < Rounds; ++round) {
        if (round % 2 == 0) {
            ours[round] = run(ourPort);
            peers[round] = run(peerPort);
        } else {
            peers[round] = run(peerPort);
            ours[round] = run(ourPort);
        }
    }
    for (RoundFigures *runs : { &ours, &peers })
        std::sort(runs->begin(), runs->end(), [](const Figures &a, const Figures &b) { return a.requests < b.requests; });
    return { ours, peers };
}

double medianServerTime(RoundFigures runs)
{
    std::sort(runs.begin(), runs.end(),
        [](const Figures &a, const Figures &b) { return a.serverMicroseconds < b.serverMicroseconds; });
    return runs[Rounds / 2].serverMicroseconds;
}

QString requestRates(const RoundFigures &runs)
{
    QStringList rates;
    for (const Figures &figures : runs)
        rates << QString::number(figures.requests, 'f', 0);
    return rates.join(u' ');
}

QString procStatus(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    return status.open(QIODevice::ReadOnly) ? QString::fromLatin1(status.readAll()) : QString();
}

qint64 peakKilobytes(qint64 pid)
{
    const auto match = QRegularExpression(QStringLiteral("VmHWM:\\s+(\\d+) kB")).match(procStatus(pid));
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

// From here on the peak is measured anew.
void resetPeak(qint64 pid)
{
    QFile clear(QStringLiteral("/proc/%1/clear_refs").arg(pid));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
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
                              "server.max-keep-alive-requests = 1000\nserver.max-keep-alive-idle = 5\n"
                              "mimetype.assign = (\"\" => \"application/octet-stream\")\n")
                   .arg(root, QString::number(port), work.filePath(QStringLiteral("error.log")))
                   .toUtf8());
    file.close();
    process.start(QStringLiteral("/usr/sbin/lighttpd"), { QStringLiteral("-D"), QStringLiteral("-f"), config });
    return process.waitForStarted() && waitForPort(port);
}

bool startOurs(QProcess &process, const QString &self, const QString &root, const QString &workDir, quint16 port)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.start(self, { QStringLiteral("--serve"), root + u'/', QString::number(port), workDir });
    return process.waitForStarted() && process.waitForReadyRead(30000) && process.readLine().trimmed() == "ready"
        && waitForPort(port);
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
    const QString ourWork = work.filePath(QStringLiteral("torvex"));
    QDir().mkpath(ourWork);
    if (!startOurs(ours, self, root, ourWork, ourPort)) {
        std::printf("our server did not start: %s\n", ours.readAllStandardError().constData());
        return 1;
    }
    std::printf("torvex: the frame's \"Http server\" window, first-run settings, \"Kašnjenje ms\" set to 0 "
                "in its spin box (the first-run 60 ms would pace every answer)\n");
    const quint16 peerPort = freePort();
    QProcess lighttpd;
    if (!startLighttpd(lighttpd, work, root, peerPort)) {
        std::printf("lighttpd did not start\n");
        return 1;
    }

    constexpr int Seconds = 3;
    constexpr int Connections = 50;
    double ratio = 1e9;
    for (const bool keepAlive : { false, true }) {
        for (const QString &name : { QStringLiteral("file4k.bin"), QStringLiteral("file1m.bin") }) {
            const auto [ourRuns, peerRuns] = alternatingRuns(
                [&](quint16 port) {
                    const qint64 pid = port == ourPort ? ours.processId() : lighttpd.processId();
                    return runWrk(QStringLiteral("http://127.0.0.1:%1/%2").arg(port).arg(name), Connections, Seconds,
                        keepAlive, pid);
                },
                ourPort, peerPort);
            const Figures &our = ourRuns[Rounds / 2];
            const Figures &peer = peerRuns[Rounds / 2];
            const double requestRatio = peer.requests > 0 ? our.requests / peer.requests : 0;
            std::printf("%s, %s: torvex %.0f req/s %.1f MB/s, lighttpd %.0f req/s %.1f MB/s, ratio %.2f\n",
                qPrintable(name), keepAlive ? "keep-alive" : "Connection: close", our.requests, our.megabytes,
                peer.requests, peer.megabytes, requestRatio);
            std::printf("  every run, req/s: torvex %s; lighttpd %s\n", qPrintable(requestRates(ourRuns)),
                qPrintable(requestRates(peerRuns)));
            std::printf("  server CPU per answer (median): torvex %.1f us, lighttpd %.1f us\n",
                medianServerTime(ourRuns), medianServerTime(peerRuns));
            std::fflush(stdout);
            ratio = qMin(ratio, requestRatio);
        }
    }
    resetPeak(ours.processId());
    const Figures crowd
        = runWrk(QStringLiteral("http://127.0.0.1:%1/file1m.bin").arg(ourPort), 200, 3, true, ours.processId());
    if (ours.state() != QProcess::Running) {
        std::printf("our server ended during the run (exit %d): %s\n", ours.exitCode(),
            ours.readAllStandardError().constData());
        return 1;
    }
    std::printf("200 concurrent keep-alive connections, 1 MB file: torvex %.0f req/s, peak RSS %lld kB\n",
        crowd.requests, peakKilobytes(ours.processId()));
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
    if (argc == 5 && QByteArray(argv[1]) == "--serve")
        return serveFromWindow(argc, argv);
    QCoreApplication app(argc, argv);
    return runBenchmark(QCoreApplication::applicationFilePath());
}
