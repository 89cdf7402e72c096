// bench/ftp: the FTP client engine against curl -o, one 50 MB file from pyftpdlib
// on loopback. Our time runs from "Prebaci u" to the end of the download, on the
// connection "Spoji se" left logged in; curl's is the whole run of `curl -o`
// (process start, login and transfer), so the ratio slightly favours us.
#include "common/PyftpdlibPeer.h"
#include "ftp/FtpEngine.h"
#include "platform/SettingsFile.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

constexpr qint64 FileSize = 50LL * 1024 * 1024;
constexpr int Rounds = 3;

QByteArray digest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result();
}

double curlSeconds(const QString &url, const QString &target)
{
    QElapsedTimer clock;
    clock.start();
    QProcess curl;
    curl.start(QStringLiteral("curl"), { QStringLiteral("-s"), QStringLiteral("-o"), target, url });
    if (!curl.waitForFinished(120000) || curl.exitCode() != 0)
        return -1;
    return clock.nsecsElapsed() / 1e9;
}

// Runs the event loop until done() holds or the limit passes. A plain event
// loop, not QTest's waits, which look at the sockets only every 10 ms.
bool runUntil(const std::function<bool()> &done, int limitMs)
{
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    limit.start(limitMs);
    while (!done() && limit.isActive())
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

double engineSeconds(const PyftpdlibPeer &peer, const QString &work)
{
    FtpEngine engine(SettingsFile(work + QStringLiteral("/TORVEX.INI")), work);
    bool done = false;
    bool good = false;
    QObject::connect(&engine, &FtpEngine::statusChanged, [&](const QString &text) {
        if (text.startsWith(QStringLiteral("big.bin  "))) {
            done = true;
            good = text.endsWith(QStringLiteral("PREBAČEN"));
        }
    });
    engine.start();
    engine.setFields(peer.address(), QStringLiteral("anonymous"), QString(), work + u'/');
    QElapsedTimer clock;
    clock.start();
    engine.connectToServer();
    if (!runUntil([&] { return !engine.rows().isEmpty(); }, 10000))
        return -1;
    // The download is its own action in the tool: it starts on the connection the
    // login and the listing left open.
    clock.restart();
    engine.downloadRow(0);
    if (!runUntil([&] { return done; }, 120000) || !good)
        return -1;
    const double seconds = clock.nsecsElapsed() / 1e9;
    engine.stop();
    return seconds;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("TORVEX_SOURCE_DIR"))
        qputenv("TORVEX_SOURCE_DIR", TORVEX_SOURCE_DIR);
    QTemporaryDir root;
    QTemporaryDir work;
    QFile big(root.filePath(QStringLiteral("big.bin")));
    if (!big.open(QIODevice::WriteOnly))
        return 1;
    QByteArray block(1024 * 1024, Qt::Uninitialized);
    for (qint64 written = 0; written < FileSize; written += block.size()) {
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(block.data()), block.size() / 4);
        big.write(block);
    }
    big.close();
    PyftpdlibPeer peer;
    if (!peer.start(root.path())) {
        std::fprintf(stderr, "%s\n", qPrintable(peer.errorText()));
        return 1;
    }
    const QString url = QStringLiteral("ftp://%1/big.bin").arg(peer.address());
    const QByteArray expected = digest(big.fileName());
    double bestCurl = 1e9;
    double bestOurs = 1e9;
    for (int round = 0; round < Rounds; ++round) {
        const double curl = curlSeconds(url, work.filePath(QStringLiteral("curl.bin")));
        const double ours = engineSeconds(peer, work.path());
        if (curl < 0 || ours < 0 || digest(work.filePath(QStringLiteral("big.bin"))) != expected
            || digest(work.filePath(QStringLiteral("curl.bin"))) != expected) {
            std::fprintf(stderr, "round %d failed\n", round + 1);
            return 1;
        }
        std::printf("round %d: curl %.3f s, torvex %.3f s\n", round + 1, curl, ours);
        bestCurl = qMin(bestCurl, curl);
        bestOurs = qMin(bestOurs, ours);
    }
    const double mb = FileSize / (1024.0 * 1024.0);
    std::printf("file %.0f MB, best of %d\n", mb, Rounds);
    std::printf("curl   %.1f MB/s\n", mb / bestCurl);
    std::printf("torvex %.1f MB/s\n", mb / bestOurs);
    std::printf("ratio %.2f\n", bestCurl / bestOurs);
    return 0;
}
