// Mirrors generated sites as a user does: the frame's menu item "Http - get URL"
// opens the real Crawler window (its Download workers open as real windows),
// the address is typed, "Start" is pressed, and the clock stops when the status
// shows "- gotovo -" and every file is on disk; all with the settings of a first
// run, in an empty working directory. In the same run `wget -r -l inf -np` and
// `httrack` with four connections mirror the same site from the same lighttpd.
// Each tool's pages per second are printed; the last line is `ratio R`: ours
// over wget's on the 500-page site. `crawl N` crawls an N-page site once with
// ours alone, for a profiler; `crawl N again` times a second crawl of it with
// "pregazi postoječe" on.
#include "SiteGenerator.h"
#include "common/LighttpdPeer.h"
#include "common/PeerProcess.h"
#include "crawler/ui/CrawlerWindow.h"
#include "platform/SettingsFile.h"
#include "platform/WindowPlacementStore.h"
#include "shell/ui/ToolLauncher.h"
#include "shell/ui/ToolboxFrame.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <functional>

namespace {

// Sites and mirrors live in memory when the machine has a tmpfs, so the figures
// are the crawlers' and not the disk's.
QString scratch()
{
    return QFileInfo(QStringLiteral("/dev/shm")).isWritable()
        ? QStringLiteral("/dev/shm/torvex-crawl-XXXXXX")
        : QDir::tempPath() + QStringLiteral("/torvex-crawl-XXXXXX");
}

struct Site
{
    QString url; // the start page
    QString hostDirectory; // "127.0.0.1:port": where every mirror puts the site
    QHash<QString, qint64> sizes; // every file of the site by its path under the host directory
};

struct Run
{
    double seconds = 0;
    QSet<QString> files; // under the host directory
    bool ok = false;
};

QSet<QString> filesUnder(const QString &root)
{
    QSet<QString> files;
    if (!QFileInfo(root).isDir())
        return files;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.insert(it.next().mid(root.size() + 1));
    return files;
}

bool allOnDisk(const QString &root, const Site &site)
{
    for (auto file = site.sizes.cbegin(); file != site.sizes.cend(); ++file) {
        if (QFileInfo(root + u'/' + file.key()).size() != file.value())
            return false;
    }
    return true;
}

// Runs the event loop until done() holds; done() is looked at after each batch
// of events and at least every 10 ms, so the wait costs the program nothing.
bool waitFor(const std::function<bool()> &done, std::chrono::milliseconds limit)
{
    QTimer wake;
    wake.start(std::chrono::milliseconds(10));
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > limit.count())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

template <typename T> T *childNamed(QWidget *window, const QString &name)
{
    for (T *child : window->findChildren<T *>()) {
        if (child->accessibleName() == name || child->property("text").toString() == name)
            return child;
    }
    return nullptr;
}

// overwrite: the user ticks "pregazi postoječe" before pressing "Start".
Run crawlOurs(const Site &site, const QString &workDirectory, bool overwrite = false)
{
    Run run;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(workDirectory);
    {
        WindowPlacementStore placements(SettingsFile::standard());
        WindowPlacementStore::setInstance(&placements);
        {
            ToolboxFrame frame(placements);
            frame.open();
            CrawlerWindow *window = nullptr;
            QObject::connect(&frame.launcher(), &ToolLauncher::windowOpened, &frame, [&window](QWidget *opened) {
                if (auto *crawler = qobject_cast<CrawlerWindow *>(opened))
                    window = crawler;
            });
            frame.action(MenuItem::Crawler)->trigger();
            // The window shows the engine's first-run fields before the user types.
            auto *address = [&]() -> QLineEdit * {
                if (!waitFor([&] { return window && !window->fields().address.isEmpty(); }, std::chrono::seconds(10)))
                    return nullptr;
                return childNamed<QLineEdit>(window, QStringLiteral("Adresa:"));
            }();
            QPushButton *start = window ? childNamed<QPushButton>(window, QStringLiteral("Start")) : nullptr;
            QCheckBox *overwriteBox
                = window ? childNamed<QCheckBox>(window, QStringLiteral("pregazi postoječe")) : nullptr;
            if (!address || !start || !overwriteBox) {
                std::printf("the Crawler window did not open as expected\n");
            } else {
                address->setText(site.url);
                if (overwriteBox->isChecked() != overwrite)
                    overwriteBox->click();
                QElapsedTimer clock;
                clock.start();
                start->click();
                const QString mirror = workDirectory + u'/' + site.hostDirectory;
                run.ok = waitFor(
                    // The files are looked up only once the window says the crawl is done.
                    [&] { return window->statusText() == QStringLiteral("- gotovo -") && allOnDisk(mirror, site); },
                    std::chrono::minutes(10));
                run.seconds = clock.nsecsElapsed() / 1e9;
            }
            frame.close();
        }
        WindowPlacementStore::setInstance(nullptr);
        placements.release();
    }
    QDir::setCurrent(previous);
    run.files = filesUnder(workDirectory + u'/' + site.hostDirectory);
    return run;
}

Run crawlPeer(const QString &program, const QStringList &arguments, const QString &mirror)
{
    Run run;
    QProcess peer;
    peer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    peer.start(PeerProcess::findProgram(program), arguments);
    run.ok = peer.waitForFinished(600000) && peer.exitStatus() == QProcess::NormalExit && peer.exitCode() == 0;
    run.seconds = clock.nsecsElapsed() / 1e9;
    run.files = filesUnder(mirror);
    return run;
}

Run crawlWget(const Site &site, const QString &workDirectory)
{
    return crawlPeer(QStringLiteral("wget"),
        { QStringLiteral("-r"), QStringLiteral("-l"), QStringLiteral("inf"), QStringLiteral("-np"),
            QStringLiteral("-q"), QStringLiteral("-e"), QStringLiteral("robots=off"), QStringLiteral("-P"),
            workDirectory, site.url },
        workDirectory + u'/' + site.hostDirectory);
}

Run crawlHttrack(const Site &site, const QString &workDirectory)
{
    // httrack names the host's folder with "_" for ":".
    QString folder = site.hostDirectory;
    folder.replace(u':', u'_');
    return crawlPeer(QStringLiteral("httrack"),
        { site.url, QStringLiteral("-O"), workDirectory, QStringLiteral("-q"), QStringLiteral("-%v0"),
            QStringLiteral("--disable-security-limits"), QStringLiteral("--max-rate=0"),
            QStringLiteral("--connection-per-second=0"), QStringLiteral("--sockets=4"), QStringLiteral("-s0") },
        workDirectory + u'/' + folder);
}

// The bytes of the bodies lighttpd sent, by its access log (read once it has stopped).
qint64 bodyBytes(const QString &log)
{
    static const QRegularExpression sent(QStringLiteral("\" \\d{3} (\\d+) "));
    qint64 total = 0;
    auto matches = sent.globalMatch(log);
    while (matches.hasNext())
        total += matches.next().captured(1).toLongLong();
    return total;
}

struct Result
{
    double ours = 0; // pages per second
    double wget = 0;
    double httrack = 0;
    double oursPerPage = 0; // milliseconds
    bool ok = false;
};

// The faster of several runs, each into a fresh working directory: one run of a
// small site lasts a fraction of a second, where the machine's other work shows.
Run bestOf(int rounds, const std::function<Run(const QString &)> &crawl)
{
    Run best;
    for (int round = 0; round < rounds; ++round) {
        const QTemporaryDir work(scratch());
        Run run = crawl(work.path());
        if (round == 0 || !run.ok || (best.ok && run.seconds < best.seconds))
            best = std::move(run);
        if (!best.ok)
            break;
    }
    return best;
}

void printRun(const char *name, const Run &run, qsizetype expected)
{
    std::printf("  %-8s %lld of %lld files in %.3f s, %.1f pages/s, %.3f ms per page%s\n", name,
        qlonglong(run.files.size()), qlonglong(expected), run.seconds, expected / run.seconds,
        1000 * run.seconds / expected, run.ok ? "" : " (did not end well)");
}

struct ServedSite
{
    QTemporaryDir served { scratch() };
    LighttpdPeer peer;
    Site site;
    QSet<QString> expected;

    bool start(int pages, int pictures)
    {
        const QStringList files = SiteGenerator::writeBulkSite(served.path(), pages, pictures);
        if (files.isEmpty() || !peer.start(served.path())) {
            std::printf("cannot serve the site: %s\n", qPrintable(peer.errorText()));
            return false;
        }
        site.url = peer.baseUrl() + QStringLiteral("index.htm");
        site.hostDirectory = peer.baseUrl().mid(7).chopped(1);
        for (const QString &file : files)
            site.sizes.insert(file, QFileInfo(served.filePath(file)).size());
        expected = QSet<QString>(files.cbegin(), files.cend());
        return true;
    }
};

Result measure(int pages, int pictures, int rounds)
{
    Result result;
    ServedSite served;
    if (!served.start(pages, pictures))
        return result;
    const Site &site = served.site;
    const QSet<QString> &expected = served.expected;
    const QStringList files(expected.cbegin(), expected.cend());

    const Run wget = bestOf(rounds, [&](const QString &work) { return crawlWget(site, work); });
    const Run httrack = bestOf(rounds, [&](const QString &work) { return crawlHttrack(site, work); });
    const Run ours = bestOf(rounds, [&](const QString &work) { return crawlOurs(site, work); });
    std::printf("site: %d pages, %d pictures (%lld files), best of %d runs\n", pages, pictures, qlonglong(files.size()),
        rounds);
    printRun("torvex:", ours, files.size());
    printRun("wget:", wget, files.size());
    printRun("httrack:", httrack, files.size());
    const bool same = ours.files == expected;
    std::printf("  torvex mirrored exactly the site: %s\n", same ? "yes" : "NO");
    for (const QString &file : expected - ours.files)
        std::printf("    missing from torvex: %s\n", qPrintable(file));
    for (const QString &file : ours.files - expected)
        std::printf("    more in torvex: %s\n", qPrintable(file));
    result.ours = files.size() / ours.seconds;
    result.wget = files.size() / wget.seconds;
    result.httrack = files.size() / httrack.seconds;
    result.oursPerPage = 1000 * ours.seconds / files.size();
    result.ok = same && ours.ok && wget.ok && httrack.ok;
    return result;
}

// A second crawl of the unchanged site with "pregazi postoječe" on, in a new
// Crawler window in the same working directory: what it moves and how long it
// takes, beside the first.
void measureUpdate(int pages, int pictures)
{
    ServedSite served;
    if (!served.start(pages, pictures))
        return;
    const QTemporaryDir work(scratch());
    const Run first = crawlOurs(served.site, work.path());
    served.peer.stop();
    const qint64 firstBytes = bodyBytes(served.peer.accessLog());
    if (!served.peer.restart())
        return;
    const Run second = crawlOurs(served.site, work.path(), true);
    served.peer.stop();
    const qint64 secondBytes = bodyBytes(served.peer.accessLog()) - firstBytes;
    std::printf("update of the unchanged %d-page site with \"pregazi postoječe\": first crawl %lld body bytes in "
                "%.3f s, second %lld body bytes (%.2f%%) in %.3f s (%.2f of the first)%s\n",
        pages, qlonglong(firstBytes), first.seconds, qlonglong(secondBytes), 100.0 * secondBytes / firstBytes,
        second.seconds, second.seconds / first.seconds, first.ok && second.ok ? "" : " (did not end well)");
}

} // namespace

int main(int argc, char **argv)
{
    // The real windows, on the offscreen platform unless a display is asked for.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc > 1) {
        ServedSite served;
        const int pages = QString::fromLocal8Bit(argv[1]).toInt();
        if (pages <= 0 || !served.start(pages, pages / 5))
            return 2;
        const QTemporaryDir work(scratch());
        // "crawl N again": the crawl timed is a second one with "pregazi postoječe".
        const bool again = argc > 2 && qstrcmp(argv[2], "again") == 0;
        if (again)
            crawlOurs(served.site, work.path());
        // On the monotonic clock, for a profiler's time filter (perf record -k CLOCK_MONOTONIC).
        timespec from {};
        clock_gettime(CLOCK_MONOTONIC, &from);
        const Run run = crawlOurs(served.site, work.path(), again);
        timespec to {};
        clock_gettime(CLOCK_MONOTONIC, &to);
        printRun("torvex:", run, served.expected.size());
        std::printf("crawl ran from %ld.%06ld to %ld.%06ld\n", long(from.tv_sec), from.tv_nsec / 1000, long(to.tv_sec),
            to.tv_nsec / 1000);
        return 0;
    }
    const Result small = measure(500, 100, 5);
    const Result large = measure(5000, 1000, 3);
    measureUpdate(500, 100);
    std::printf("ours over httrack: %.2f at 500 pages, %.2f at 5000 pages\n", small.ours / small.httrack,
        large.ours / large.httrack);
    std::printf("ratio at 5000 pages: %.2f\n", large.ours / large.wget);
    std::printf("time per page: torvex %.3f ms at 500, %.3f ms at 5000 (x%.2f)\n", small.oursPerPage, large.oursPerPage,
        large.oursPerPage / small.oursPerPage);
    std::printf("ratio %.2f\n", small.ours / small.wget);
    return small.ok && large.ok ? 0 : 1;
}
