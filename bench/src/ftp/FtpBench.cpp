// bench/ftp: the FTP window against `curl -o`, one 50 MB file from pyftpdlib on
// loopback, the same work on both sides: connect, log in and download. curl's
// time is its whole run; ours runs from the click on "Spoji se" in a window
// opened with a first run's settings, through the listing and the choice of
// "Prebaci u" from the file's pop-up menu, to the status line saying the file
// is transferred. Best of several rounds each, in clear text (the ratio) and
// over TLS on a certificate the bench makes (curl is given it as its CA; the
// window's user has said yes to it once, in an untimed first round).
#include "common/PyftpdlibPeer.h"
#include "ftp/FtpEngine.h"
#include "ftp/ui/FtpTool.h"
#include "ftp/ui/FtpWindow.h"
#include "platform/EngineThread.h"
#include "platform/SettingsFile.h"
#include "platform/ToolSettings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>
#include <functional>
#include <optional>

namespace {

constexpr qint64 FileSize = 50LL * 1024 * 1024;
constexpr int Rounds = 5;
constexpr int TlsRounds = 3;
const QString FileName = QStringLiteral("big.bin");
const QString Transferred = QStringLiteral("big.bin  PREBAČEN");

QByteArray digest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result();
}

std::optional<double> curlSeconds(const QStringList &options, const QString &url, const QString &target)
{
    QElapsedTimer clock;
    clock.start();
    QProcess curl;
    curl.start(QStringLiteral("curl"),
        QStringList { QStringLiteral("-s"), QStringLiteral("-o"), target } + options + QStringList { url });
    if (!curl.waitForFinished(120000) || curl.exitCode() != 0)
        return std::nullopt;
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

int rowOf(FtpWindow *window, const QString &shown)
{
    const auto found = window->list()->findItems(shown, Qt::MatchExactly, 0);
    return found.isEmpty() ? -1 : window->list()->indexOfTopLevelItem(found.first());
}

// Says yes to a certificate question, should one be shown.
void trustWhenAsked(FtpWindow *window)
{
    QMessageBox *box = window->certificateBox();
    if (!box || !box->isVisible())
        return;
    for (QAbstractButton *button : box->buttons()) {
        if (button->text() == u"Da")
            button->click();
    }
}

// One round in the window, in the working directory `work`.
std::optional<double> windowSeconds(const PyftpdlibPeer &peer, const QString &work)
{
    QDir::setCurrent(work);
    // A new process would start with the defaults, not with what an earlier round left.
    ToolSettings::resetSharedValues();
    ToolParts parts = FtpTool::descriptor().create({});
    auto *window = qobject_cast<FtpWindow *>(parts.window);
    EngineThread thread(std::move(parts.engine), FtpEngine::procedureName());
    window->show();
    thread.start();
    std::optional<double> seconds;
    if (runUntil([&] { return window->isEnabled(); }, 10000)) {
        window->serverField()->setText(peer.address());
        window->userField()->setText(QStringLiteral("anonymous"));
        window->passwordField()->clear();
        QElapsedTimer clock;
        clock.start();
        window->connectButton()->click();
        const bool listed = runUntil(
            [&] {
                trustWhenAsked(window);
                return rowOf(window, FileName) >= 0;
            },
            30000);
        if (listed) {
            std::unique_ptr<QMenu> menu(window->menuForRow(rowOf(window, FileName)));
            menu->actions().first()->trigger();
            if (runUntil([&] { return window->statusText() == Transferred; }, 120000))
                seconds = clock.nsecsElapsed() / 1e9;
        }
    }
    if (!seconds)
        std::fprintf(stderr, "the window ended with \"%s\"\n", qPrintable(window->statusText()));
    thread.shutdown(std::chrono::seconds(10));
    delete window;
    return seconds;
}

struct Best
{
    double curl = 1e9;
    double ours = 1e9;
};

// Rounds of curl and the window on one server; false when one fails or brings
// other bytes. prepare() readies each round's working directory.
bool race(const char *label, int rounds, const PyftpdlibPeer &peer, const QStringList &curlOptions,
    const QByteArray &expected, const std::function<void(const QString &)> &prepare, Best *best)
{
    const QString url = QStringLiteral("ftp://%1/%2").arg(peer.address(), FileName);
    for (int round = 0; round < rounds; ++round) {
        QTemporaryDir work;
        prepare(work.path());
        const auto curl = curlSeconds(curlOptions, url, work.filePath(QStringLiteral("curl.bin")));
        const auto ours = windowSeconds(peer, work.path());
        if (!curl || !ours || digest(work.filePath(FileName)) != expected
            || digest(work.filePath(QStringLiteral("curl.bin"))) != expected) {
            std::fprintf(stderr, "%sround %d failed\n", label, round + 1);
            return false;
        }
        std::printf("%sround %d: curl %.3f s, torvex %.3f s\n", label, round + 1, *curl, *ours);
        std::fflush(stdout);
        best->curl = qMin(best->curl, *curl);
        best->ours = qMin(best->ours, *ours);
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("TORVEX_SOURCE_DIR"))
        qputenv("TORVEX_SOURCE_DIR", TORVEX_SOURCE_DIR);
    QApplication app(argc, argv);
    QTemporaryDir root;
    QTemporaryDir files;
    QFile big(root.filePath(FileName));
    if (!big.open(QIODevice::WriteOnly))
        return 1;
    QByteArray block(1024 * 1024, Qt::Uninitialized);
    for (qint64 written = 0; written < FileSize; written += block.size()) {
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(block.data()), block.size() / 4);
        big.write(block);
    }
    big.close();
    const QByteArray expected = digest(big.fileName());

    PyftpdlibPeer plain;
    QString error;
    const QString certificate = files.filePath(QStringLiteral("cert.pem"));
    const QString key = files.filePath(QStringLiteral("key.pem"));
    PyftpdlibPeer tls;
    if (!plain.start(root.path()) || !PyftpdlibPeer::makeCertificate(certificate, key, &error)
        || !tls.start(root.path(), { .certificate = certificate, .key = key })) {
        std::fprintf(stderr, "%s%s%s\n", qPrintable(plain.errorText()), qPrintable(error), qPrintable(tls.errorText()));
        return 1;
    }

    Best clear;
    if (!race(
            "", Rounds, plain, {}, expected, [](const QString &) {}, &clear))
        return 1;

    // The first TLS login asks about the certificate, and the answer is kept.
    QTemporaryDir first;
    if (!windowSeconds(tls, first.path()))
        return 1;
    const QString trusted = SettingsFile(first.filePath(QStringLiteral("TORVEX.INI")))
                                .read(SettingsFile::toolSection(), QStringLiteral("FTPCert"));
    const auto keepTrust = [&](const QString &work) {
        SettingsFile(QDir(work).filePath(QStringLiteral("TORVEX.INI")))
            .write(SettingsFile::toolSection(), QStringLiteral("FTPCert"), trusted);
    };
    Best secure;
    const QStringList curlTls { QStringLiteral("--ssl-reqd"), QStringLiteral("--cacert"), certificate };
    if (trusted.isEmpty() || !race("TLS ", TlsRounds, tls, curlTls, expected, keepTrust, &secure))
        return 1;

    const double mb = FileSize / (1024.0 * 1024.0);
    std::printf("file %.0f MB, best of %d (TLS: best of %d)\n", mb, Rounds, TlsRounds);
    std::printf("TLS    curl %.1f MB/s, torvex %.1f MB/s, ratio %.2f\n", mb / secure.curl, mb / secure.ours,
        secure.curl / secure.ours);
    std::printf("curl   %.1f MB/s\n", mb / clear.curl);
    std::printf("torvex %.1f MB/s\n", mb / clear.ours);
    std::printf("ratio %.2f\n", clear.curl / clear.ours);
    return 0;
}
