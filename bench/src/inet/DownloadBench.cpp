#include "DownloadBench.h"

#include "common/LighttpdPeer.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr qint64 FileSize = 200LL * 1024 * 1024;
constexpr int Rounds = 3;

qint64 statusKilobytes(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

void resetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

QByteArray digestOf(const QString &path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Md5);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        return {};
    return hash.result();
}

bool writeSource(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(1024 * 1024, Qt::Uninitialized);
    for (qint64 written = 0; written < FileSize; written += block.size()) {
        for (qsizetype i = 0; i < block.size(); ++i)
            block[i] = char((written / block.size() + i * 7) & 0xff);
        if (file.write(block) != block.size())
            return false;
    }
    return true;
}

double megabytesPerSecond(qint64 elapsedMs)
{
    return double(FileSize) / (1024.0 * 1024.0) / (double(qMax<qint64>(1, elapsedMs)) / 1000.0);
}

} // namespace

int DownloadBench::run(const char *name, const std::function<bool(const QString &, const QString &)> &fetch)
{
    QTemporaryDir served;
    QTemporaryDir out;
    const QString source = served.filePath(QStringLiteral("big.bin"));
    if (!writeSource(source)) {
        std::fprintf(stderr, "cannot write the 200 MB source file\n");
        return 1;
    }
    const QByteArray expected = digestOf(source);
    LighttpdPeer http;
    if (!http.start(served.path())) {
        std::fprintf(stderr, "lighttpd did not start: %s\n", qPrintable(http.errorText()));
        return 1;
    }
    const QString url = http.baseUrl() + QStringLiteral("big.bin");
    const QString ours = out.filePath(QStringLiteral("ours.bin"));
    const QString theirs = out.filePath(QStringLiteral("curl.bin"));

    qint64 bestOurs = -1;
    qint64 bestCurl = -1;
    qint64 peakAboveIdle = 0;
    for (int round = 0; round < Rounds; ++round) {
        QFile::remove(ours);
        const qint64 idle = statusKilobytes("VmRSS:");
        resetPeakMemory();
        QElapsedTimer timer;
        timer.start();
        const bool fetched = fetch(url, ours);
        const qint64 elapsed = timer.elapsed();
        if (!fetched || digestOf(ours) != expected) {
            std::fprintf(stderr, "%s: the download failed or differs from the source\n", name);
            return 1;
        }
        peakAboveIdle = qMax(peakAboveIdle, statusKilobytes("VmHWM:") - idle);
        bestOurs = bestOurs < 0 ? elapsed : qMin(bestOurs, elapsed);
        QFile::remove(ours);

        QFile::remove(theirs);
        timer.restart();
        const int exitCode = QProcess::execute(QStringLiteral("curl"), {QStringLiteral("-s"), QStringLiteral("-o"), theirs, url});
        const qint64 curlElapsed = timer.elapsed();
        if (exitCode != 0 || digestOf(theirs) != expected) {
            std::fprintf(stderr, "curl failed (%d)\n", exitCode);
            return 1;
        }
        bestCurl = bestCurl < 0 ? curlElapsed : qMin(bestCurl, curlElapsed);
        QFile::remove(theirs);
        std::printf("round %d: %s %lld ms, curl %lld ms\n", round + 1, name, qlonglong(elapsed), qlonglong(curlElapsed));
    }
    const double oursRate = megabytesPerSecond(bestOurs);
    const double curlRate = megabytesPerSecond(bestCurl);
    std::printf("file: 200 MB from lighttpd on loopback, best of %d rounds\n", Rounds);
    std::printf("%s: %.1f MB/s (%lld ms)\n", name, oursRate, qlonglong(bestOurs));
    std::printf("curl -o: %.1f MB/s (%lld ms)\n", curlRate, qlonglong(bestCurl));
    std::printf("%s peak resident memory above idle: %.1f MB\n", name, double(peakAboveIdle) / 1024.0);
    std::printf("ratio %.2f\n", oursRate / curlRate);
    return 0;
}
