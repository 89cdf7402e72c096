// Photographs each tool of the real Toolbox frame at work against loopback
// peers, for the README and the AppStream metadata:
//   torvex_tour SOURCE_DIR OUTPUT_DIR
// writes crawler.png, getter.png, ftp.png and server.png into OUTPUT_DIR.
// Run it through scripts/screenshots.sh, which builds it and gives it a display.

#include "TourControls.h"
#include "TourPeers.h"

#include "platform/SettingsFile.h"
#include "platform/WindowPlacementStore.h"
#include "shell/ui/ToolboxFrame.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <memory>

using namespace std::chrono_literals;
using namespace tour;

namespace {

const QString SettingsSection = QStringLiteral("Torvex Settings");
// The frame opens large, so that new windows find room beside the others, and
// is then made as large as its windows need, but no smaller than this.
constexpr QSize OpeningFrame(1200, 800);
constexpr QSize SmallestFrame(760, 500);
constexpr int Margin = 16;

// Asks for url until the server, which opens its port as its window opens,
// takes the connection; true once an answer has come.
bool visit(QNetworkAccessManager &visitor, const QUrl &url)
{
    QElapsedTimer clock;
    clock.start();
    while (!clock.hasExpired(15000)) {
        std::unique_ptr<QNetworkReply> reply(visitor.get(QNetworkRequest(url)));
        if (!waitFor([&reply] { return reply->isFinished(); }, 15s))
            return false;
        if (reply->error() != QNetworkReply::ConnectionRefusedError)
            return true;
        QTest::qWait(100);
    }
    return false;
}

class Tour
{
public:
    Tour(ToolboxFrame &frame, const TourPeers &peers, quint16 serverPort, const QString &outputDir)
        : m_frame(frame)
        , m_peers(peers)
        , m_serverPort(serverPort)
        , m_output(outputDir)
    { }

    // Each scene opens its tool, works it and photographs it; its windows are
    // closed afterwards whether or not it succeeded.
    using Scene = bool (Tour::*)();
    bool run(Scene scene);
    bool crawler();
    bool getter();
    bool ftp();
    bool server();

private:
    QWidget *open(MenuItem item);
    bool closeAll();
    bool fail(const char *scene, const QString &what);
    bool settingsShown(const char *scene, QWidget *window, QLineEdit *firstField);
    bool photograph(const char *name);
    void fitFrameToWindows();

    template <typename Control> Control *need(QWidget *window, const char *scene, const QString &name)
    {
        auto *found = control<Control>(window, name);
        if (!found)
            fail(scene,
                QStringLiteral("no control named \"%1\" among \"%2\"").arg(name, controlNames(window).join(u"\", \"")));
        return found;
    }

    ToolboxFrame &m_frame;
    const TourPeers &m_peers;
    quint16 m_serverPort;
    QDir m_output;
};

bool Tour::run(Scene scene)
{
    const bool photographed = (this->*scene)();
    return closeAll() && photographed;
}

QWidget *Tour::open(MenuItem item)
{
    m_frame.resize(OpeningFrame);
    QMdiArea *area = m_frame.mdiArea();
    const QList<QMdiSubWindow *> before = area->subWindowList();
    m_frame.action(item)->trigger();
    QMdiSubWindow *window = newSubWindow(area, before);
    return window ? window->widget() : nullptr;
}

bool Tour::closeAll()
{
    QMdiArea *area = m_frame.mdiArea();
    area->closeAllSubWindows();
    return waitFor([area] { return area->subWindowList().isEmpty(); }, 20s);
}

bool Tour::fail(const char *scene, const QString &what)
{
    std::fprintf(stderr, "%s: %s\n", scene, qPrintable(what));
    return false;
}

// A tool shows the values of its settings once its engine has read them;
// what is typed before that would be overwritten.
bool Tour::settingsShown(const char *scene, QWidget *window, QLineEdit *firstField)
{
    if (waitFor([&] { return window->isEnabled() && !firstField->text().isEmpty(); }, 15s))
        return true;
    return fail(scene, QStringLiteral("the window never showed its settings"));
}

// As a user does, the frame is sized so that every window in it shows whole.
void Tour::fitFrameToWindows()
{
    QMdiArea *area = m_frame.mdiArea();
    QRect windows;
    const QList<QMdiSubWindow *> subWindows = area->subWindowList();
    for (const QMdiSubWindow *window : subWindows)
        windows |= window->geometry();
    const QSize around = m_frame.size() - area->viewport()->size();
    m_frame.resize(
        QSize(windows.right() + Margin, windows.bottom() + Margin).expandedTo(SmallestFrame - around) + around);
}

bool Tour::photograph(const char *name)
{
    fitFrameToWindows();
    // Let the last updates of the engines reach the windows and be painted.
    QTest::qWait(400);
    const QString path = m_output.filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
    if (!m_frame.grab().save(path))
        return fail(name, QStringLiteral("could not write ") + path);
    std::printf("%s\n", qPrintable(path));
    return true;
}

bool Tour::crawler()
{
    const char *scene = "crawler";
    QWidget *window = open(MenuItem::Crawler);
    if (!window)
        return fail(scene, QStringLiteral("\"Http - get URL\" opened no window"));
    auto *address = need<QLineEdit>(window, scene, QStringLiteral("Adresa:"));
    auto *start = need<QAbstractButton>(window, scene, QStringLiteral("Start"));
    auto *files = need<QTreeWidget>(window, scene, QStringLiteral("Lokalne datoteke"));
    if (!address || !start || !files || !settingsShown(scene, window, address))
        return false;
    type(address, m_peers.siteUrl());
    press(start);
    // Mid-crawl: files listed, download workers at work beside the window, and
    // the window's preview showing the picture saved last.
    QMdiArea *area = m_frame.mdiArea();
    const auto previewShown = [window] {
        const QList<QLabel *> labels = window->findChildren<QLabel *>();
        return std::any_of(labels.cbegin(), labels.cend(), [](const QLabel *label) {
            return label->accessibleDescription() == QStringLiteral("Slika") && label->isVisible()
                && !label->pixmap().isNull();
        });
    };
    const bool working = waitFor(
        [&] { return files->topLevelItemCount() >= 12 && area->subWindowList().size() >= 3 && previewShown(); }, 90s);
    if (!working)
        return fail(scene,
            QStringLiteral("the crawl listed %1 files, with %2 windows open and %3 preview")
                .arg(files->topLevelItemCount())
                .arg(area->subWindowList().size())
                .arg(previewShown() ? u"a" : u"no"));
    return photograph(scene);
}

bool Tour::getter()
{
    const char *scene = "getter";
    QWidget *window = open(MenuItem::PageGetter);
    if (!window)
        return fail(scene, QStringLiteral("\"Http - get page\" opened no window"));
    auto *url = need<QLineEdit>(window, scene, QStringLiteral("URL:"));
    auto *local = need<QLineEdit>(window, scene, QStringLiteral("Lokal:"));
    auto *start = need<QAbstractButton>(window, scene, QStringLiteral("Start"));
    if (!url || !local || !start || !settingsShown(scene, window, url))
        return false;
    type(url, m_peers.downloadUrl());
    type(local, m_peers.downloadName());
    press(start);
    // Midway by what has reached the disk, whatever the bar makes of it.
    const QString path = QDir::current().filePath(m_peers.downloadName());
    const auto received = [path] { return QFileInfo(path).size(); };
    if (!waitFor([&] { return received() * 100 >= m_peers.downloadSize() * 40; }, 60s))
        return fail(
            scene, QStringLiteral("the download reached %1 bytes of %2").arg(received()).arg(m_peers.downloadSize()));
    return photograph(scene);
}

bool Tour::ftp()
{
    const char *scene = "ftp";
    QWidget *window = open(MenuItem::Ftp);
    if (!window)
        return fail(scene, QStringLiteral("\"Ftp\" opened no window"));
    auto *server = need<QLineEdit>(window, scene, QStringLiteral("Server"));
    auto *user = need<QLineEdit>(window, scene, QStringLiteral("Korisnik"));
    auto *password = need<QLineEdit>(window, scene, QStringLiteral("Lozinka"));
    auto *connect = need<QAbstractButton>(window, scene, QStringLiteral("Spoji se"));
    auto *list = need<QTreeWidget>(window, scene, QStringLiteral("Desni klik za download"));
    if (!server || !user || !password || !connect || !list || !settingsShown(scene, window, server))
        return false;
    type(server, m_peers.ftpAddress());
    type(user, QStringLiteral("anonymous"));
    type(password, QStringLiteral("gost@example.org"));
    press(connect);
    if (!waitFor([list] { return list->topLevelItemCount() >= 6; }, 30s))
        return fail(scene, QStringLiteral("the listing shows %1 rows").arg(list->topLevelItemCount()));
    return photograph(scene);
}

bool Tour::server()
{
    const char *scene = "server";
    QWidget *window = open(MenuItem::HttpServer);
    if (!window)
        return fail(scene, QStringLiteral("\"Http server\" opened no window"));
    auto *log = need<QTreeWidget>(window, scene, QStringLiteral("status"));
    auto *hits = need<QLineEdit>(window, scene, QStringLiteral("Hit:"));
    if (!log || !hits)
        return false;
    // Drawn taller, as a user would, to show the log from the listening steps on.
    QWidget *frame = window->parentWidget();
    frame->resize(frame->width(), frame->height() + 200);
    // A visitor asks for the listing, a directory, two files and a page that is not there.
    QNetworkAccessManager visitor;
    const QString base = QStringLiteral("http://127.0.0.1:%1/").arg(m_serverPort);
    const QStringList paths { QString(), QStringLiteral("slike/"), QStringLiteral("cjenik.txt"),
        QStringLiteral("slike/krka-1.jpg"), QStringLiteral("nema.htm") };
    for (const QString &path : paths) {
        if (!visit(visitor, QUrl(base + path)))
            return fail(scene, QStringLiteral("no answer for /") + path);
    }
    const QString counted = QString::number(paths.size());
    if (!waitFor([hits, counted] { return hits->text() == counted; }, 15s))
        return fail(scene, QStringLiteral("the server counted %1 hits of %2").arg(hits->text(), counted));
    return photograph(scene);
}

// What a user who ran the server before has in the Settings file: the
// served directory and a port that needs no special right.
bool seedServerSettings(const QString &directory, quint16 port)
{
    return SettingsFile::standard().writeMany(SettingsSection,
        { { QStringLiteral("WShttpPath"), directory + u'/' },
            { QStringLiteral("WShttpStr"), QStringLiteral("default.htm") },
            { QStringLiteral("WShttpDel"), QStringLiteral("60") }, { QStringLiteral("WShttpDir"), QStringLiteral("1") },
            { QStringLiteral("WShttpPort"), QString::number(port) } });
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("torvex"));
    QApplication::setApplicationDisplayName(QStringLiteral("Net + by Quorin"));
    QApplication::setDesktopFileName(QStringLiteral("torvex"));
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 3) {
        std::fprintf(stderr, "usage: torvex_tour SOURCE_DIR OUTPUT_DIR\n");
        return 2;
    }
    const QString output = QDir(arguments.at(2)).absolutePath();
    if (!QDir().mkpath(output)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(output));
        return 1;
    }

    TourPeers peers;
    if (!peers.start(QDir(arguments.at(1)).absolutePath())) {
        std::fprintf(stderr, "peers: %s\n", qPrintable(peers.errorText()));
        return 1;
    }
    // A first run in a working directory of its own, which receives the mirror and downloads.
    // A short name: the windows show the paths of the files under it.
    QTemporaryDir work(QDir::tempPath() + QStringLiteral("/w"));
    const quint16 serverPort = PeerProcess::freePort();
    if (!work.isValid() || !QDir::setCurrent(work.path()) || !seedServerSettings(peers.servedDirectory(), serverPort)) {
        std::fprintf(stderr, "cannot prepare a working directory\n");
        return 1;
    }

    WindowPlacementStore placements(SettingsFile::standard());
    WindowPlacementStore::setInstance(&placements);
    bool photographed = false;
    {
        ToolboxFrame frame(placements);
        bool closed = false;
        QObject::connect(&frame, &ToolboxFrame::closed, &app, [&closed] { closed = true; });
        frame.open();
        Tour tour(frame, peers, serverPort, output);
        photographed = true;
        // Every scene runs even when an earlier one failed.
        for (const Tour::Scene scene : { &Tour::crawler, &Tour::getter, &Tour::ftp, &Tour::server })
            photographed = tour.run(scene) && photographed;
        frame.close();
        waitFor([&closed] { return closed; }, 20s);
    }
    WindowPlacementStore::setInstance(nullptr);
    placements.release();
    peers.stop();
    QDir::setCurrent(QDir::rootPath());
    return photographed ? 0 : 1;
}
