#include "FaultSite.h"
#include "SiteGenerator.h"
#include "common/AccessibilityCheck.h"
#include "common/LighttpdPeer.h"
#include "common/PeerProcess.h"
#include "crawler/CrawlerEngine.h"
#include "crawler/LocalNaming.h"
#include "crawler/ui/CrawlerTool.h"
#include "crawler/ui/CrawlerWindow.h"
#include "platform/EngineThread.h"
#include "platform/SettingsFile.h"
#include "platform/ToolSettings.h"
#include "shell/ui/ToolLauncher.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// A control found by its accessible name or its text.
template <typename T> T *controlOf(const QWidget *window, const QString &name)
{
    for (T *widget : window->findChildren<T *>()) {
        if (widget->accessibleName() == name || widget->property("text").toString() == name)
            return widget;
    }
    return nullptr;
}

// A window wired to its engine on a thread of its own, as the frame runs them.
struct Tool
{
    QTemporaryDir work;
    CrawlerWindow window;
    std::unique_ptr<EngineThread> thread;
    CrawlerEngine *engine = nullptr;

    explicit Tool(const QString &root = QString())
    {
        auto parts = std::make_unique<CrawlerEngine>(settings(), root.isEmpty() ? work.path() : root);
        parts->setReadLimit(std::chrono::milliseconds(2000));
        engine = parts.get();
        CrawlerTool::connectParts(engine, &window);
        thread = std::make_unique<EngineThread>(std::move(parts), u"Http_asy"_s);
        thread->start();
        window.show();
    }
    ~Tool() { QVERIFY(close()); }
    bool close() { return !thread || thread->shutdown(std::chrono::seconds(10)); }
    SettingsFile settings() const { return SettingsFile(work.filePath(u"TORVEX.INI"_s)); }

    template <typename T> T *control(const QString &name) const { return controlOf<T>(&window, name); }
    void grab(const QString &name) { window.grab().save(u"/tmp/"_s + name); }
};

// The frame's launcher as the host of tools, in an empty working directory of its own.
struct FrameTools
{
    QTemporaryDir work;
    QString before = QDir::currentPath();
    QMdiArea area;
    ToolLauncher launcher { &area, nullptr };

    FrameTools()
    {
        QDir::setCurrent(work.path());
        area.resize(900, 700);
        area.show();
        ToolHost::setInstance(&launcher);
    }
    ~FrameTools()
    {
        launcher.closeAll();
        ToolHost::setInstance(nullptr);
        QDir::setCurrent(before);
    }
};

} // namespace

class TestCrawlerWindow : public QObject
{
    Q_OBJECT

private slots:
    void init() { ToolSettings::resetSharedValues(); }
    void defaultsAndControls();
    void settingsFollowTheFirstKey();
    void crawlIsShownAsItGoes();
    void deleteAsksAndMarksTheRow();
    void secondStartFocusesTheOpenWindow();
    void aFastCrawlIsShownInBoundedBatches();
    void thePreviewHoldsNothingUp();
};

void TestCrawlerWindow::defaultsAndControls()
{
    Tool tool;
    QTRY_COMPARE(tool.window.fields().address, u"http://127.0.0.1"_s);
    QCOMPARE(tool.window.windowTitle(), u"HTTP"_s);
    QVERIFY(accessibilityFaults(&tool.window).isEmpty());
    QCOMPARE(tool.window.filesHeader(), u"Lokal"_s);
    QCOMPARE(tool.window.eventLog()->headerItem()->text(0), u"hInternet"_s);
    QCOMPARE(tool.window.eventLog()->headerItem()->text(2), u"opis"_s);
    QCOMPARE(tool.window.localFiles()->headerItem()->text(1), u"byte-ova"_s);
    QCOMPARE(tool.window.localFiles()->headerItem()->text(2), u"vrijeme"_s);
    for (const QString &text : { u"Start"_s, u"Prekid"_s, u"Prekini vezu"_s })
        QVERIFY2(tool.control<QPushButton>(text), qPrintable(text));
    QCOMPARE(tool.control<QPushButton>(u"Prekini vezu"_s)->toolTip(), u"Prekid veze"_s);

    // The proxy entry follows its check box.
    auto *proxy = tool.control<QLineEdit>(u"Proxy:"_s);
    auto *useProxy = tool.control<QCheckBox>(u"Proxy:"_s);
    QVERIFY(proxy && useProxy);
    QVERIFY(!proxy->isEnabled());
    useProxy->setChecked(true);
    QVERIFY(proxy->isEnabled());

    // The preview box says the state it is in.
    auto *preview = tool.control<QCheckBox>(u"preview"_s);
    QVERIFY(preview);
    QVERIFY(preview->isChecked());
    QCOMPARE(preview->text(), u"Preview is ON"_s);
    preview->setChecked(false);
    QCOMPARE(preview->text(), u"Preview is OFF"_s);
    QVERIFY(tool.control<QCheckBox>(u"Download"_s)->isChecked());
    auto *convert = tool.control<QCheckBox>(u"pretvori linkove"_s);
    QVERIFY(convert && !convert->isChecked());
    tool.grab(u"crawler-window-open.png"_s);
}

void TestCrawlerWindow::settingsFollowTheFirstKey()
{
    QTemporaryDir work;
    SettingsFile file(work.filePath(u"TORVEX.INI"_s));
    const QString section = SettingsFile::toolSection();
    file.write(section, u"HTTPurl"_s, QString());
    file.write(section, u"HTTPproxy"_s, u"cache:3128"_s);
    file.write(section, u"Slike"_s, u"0"_s);
    {
        CrawlerEngine engine(file, work.path());
        engine.start();
        QCOMPARE(engine.fields().address, u"http://127.0.0.1"_s);
        QCOMPARE(engine.fields().proxy, u"localhost:8001"_s);
        QVERIFY(engine.fields().pictures);
        engine.stop();
    }
    // Closing wrote every key; with the first key present all are read.
    QCOMPARE(file.read(section, u"HTTPurl"_s), u"http://127.0.0.1"_s);
    QCOMPARE(file.read(section, u"IEgazi"_s), u"0"_s);
    QCOMPARE(file.read(section, u"IElink"_s), u"0"_s);
    file.write(section, u"HTTPurl"_s, u"http://h/d/"_s);
    file.write(section, u"HTTPproxy"_s, u"cache:3128"_s);
    file.write(section, u"HTTPiproxy"_s, u"1"_s);
    file.write(section, u"Slike"_s, u"0"_s);
    file.write(section, u"IEgazi"_s, u"1"_s);
    file.write(section, u"IElink"_s, u"1"_s);
    CrawlerEngine engine(file, work.path());
    engine.start();
    const CrawlerEngine::Fields fields = engine.fields();
    QCOMPARE(fields.address, u"http://h/d/"_s);
    QCOMPARE(fields.proxy, u"cache:3128"_s);
    QVERIFY(fields.useProxy);
    QVERIFY(!fields.pictures);
    QVERIFY(fields.overwrite);
    QVERIFY(fields.convertLinks);
    engine.stop();
}

void TestCrawlerWindow::crawlIsShownAsItGoes()
{
    FaultSite site;
    QVERIFY2(site.start(), qPrintable(site.peer.errorText()));
    Tool tool;
    QTRY_VERIFY(!tool.window.fields().address.isEmpty());
    tool.control<QLineEdit>(u"Adresa:"_s)->setText(site.url(u"index.htm"_s));
    tool.control<QCheckBox>(u"Download"_s)->setChecked(false);
    QTest::mouseClick(tool.control<QPushButton>(u"Start"_s), Qt::LeftButton);

    // Mid-crawl: the stalled page is being read, the failed links are in the log.
    QTRY_VERIFY_WITH_TIMEOUT(tool.window.localFiles()->topLevelItemCount() == 11
            && tool.window.eventLog()->topLevelItemCount() > 8 && tool.window.statusText() != u"- gotovo -",
        20000);
    tool.grab(u"crawler-window-midcrawl.png"_s);

    QTRY_COMPARE_WITH_TIMEOUT(tool.window.statusText(), u"- gotovo -"_s, 30000);
    tool.grab(u"crawler-window-done.png"_s);
    QVERIFY(tool.window.filesHeader().startsWith(u"Poziv:"_s));
    QVERIFY(tool.window.filesHeader().endsWith(u" Kb"_s));
    QTreeWidget *log = tool.window.eventLog();
    int errors = 0;
    for (int row = 0; row < log->topLevelItemCount(); ++row)
        errors += log->topLevelItem(row)->text(0) == u"ERROR:" ? 1 : 0;
    // 404 twice and the redirect loop once each; 503, reset and hang-up four times
    // each; a body cut short, the stall.
    QCOMPARE(errors, 17);
    QTreeWidget *files = tool.window.localFiles();
    for (int row = 0; row < files->topLevelItemCount(); ++row) {
        const QFileInfo info(files->topLevelItem(row)->text(0));
        QCOMPARE(files->topLevelItem(row)->text(1).isEmpty(), !info.exists());
    }
    QVERIFY(accessibilityFaults(&tool.window).isEmpty());
}

void TestCrawlerWindow::deleteAsksAndMarksTheRow()
{
    QTemporaryDir served;
    QVERIFY(SiteGenerator::writeFile(served.filePath(u"index.htm"_s), "<a href=a.htm>a</a> <a href=b.htm>b</a>"));
    QVERIFY(SiteGenerator::writeFile(served.filePath(u"a.htm"_s), "<p>a</p>"));
    QVERIFY(SiteGenerator::writeFile(served.filePath(u"b.htm"_s), "<p>b</p>"));
    LighttpdPeer peer;
    QVERIFY2(peer.start(served.path()), qPrintable(peer.errorText()));
    Tool tool;
    QTRY_VERIFY(!tool.window.fields().address.isEmpty());
    tool.control<QLineEdit>(u"Adresa:"_s)->setText(peer.baseUrl());
    QTest::mouseClick(tool.control<QPushButton>(u"Start"_s), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(tool.window.statusText(), u"- gotovo -"_s, 20000);
    QTreeWidget *files = tool.window.localFiles();
    QCOMPARE(files->topLevelItemCount(), 3);

    QStringList asked;
    bool answer = false;
    tool.window.setConfirmation([&](const QString &path) {
        asked.append(path);
        return answer;
    });
    QPushButton *remove = tool.control<QPushButton>(u"Briši lokalnu datoteku"_s);
    QVERIFY(remove);
    files->setCurrentItem(files->topLevelItem(1));
    const QString path = files->topLevelItem(1)->text(0);
    QVERIFY(QFileInfo::exists(path));
    // Refused: the file stays.
    QTest::mouseClick(remove, Qt::LeftButton);
    QCOMPARE(asked, QStringList { path });
    QTest::qWait(200);
    QVERIFY(QFileInfo::exists(path));
    // Confirmed: the file goes and its row shows the missing mark.
    answer = true;
    QTest::mouseClick(remove, Qt::LeftButton);
    QTRY_VERIFY(!QFileInfo::exists(path));
    QTRY_VERIFY(files->topLevelItem(1)->text(1).isEmpty());
    const QImage shown = files->topLevelItem(1)->icon(0).pixmap(16).toImage();
    QCOMPARE(shown, tool.window.fileIcon(LocalFileRow::Missing).pixmap(16).toImage());
    QVERIFY(QFileInfo::exists(files->topLevelItem(0)->text(0)));
}

void TestCrawlerWindow::secondStartFocusesTheOpenWindow()
{
    // The frame's tool keeps its Settings file and mirror in the working directory.
    FrameTools tools;
    QTemporaryDir &work = tools.work;
    QMdiArea &area = tools.area;
    ToolLauncher &launcher = tools.launcher;

    const ToolDescriptor crawler = crawlerTool();
    QCOMPARE(crawler.procedureName, u"Http_asy"_s);
    launcher.launch(crawler, {}, 0);
    QCOMPARE(launcher.openWindows().size(), 1);
    auto *window = qobject_cast<CrawlerWindow *>(launcher.openWindows().constFirst());
    QVERIFY(window);
    QTRY_COMPARE(window->fields().address, u"http://127.0.0.1"_s);
    auto *frame = qobject_cast<QMdiSubWindow *>(launcher.container(window));
    QVERIFY(frame);
    frame->showMinimized();
    QVERIFY(frame->isMinimized());

    // A second start opens nothing: the open window comes back and takes the focus.
    launcher.launch(crawler, {}, 0);
    QCOMPARE(launcher.openWindows().size(), 1);
    QVERIFY(!frame->isMinimized());
    QCOMPARE(area.activeSubWindow(), frame);

    // Closing writes the window's keys beside the program.
    launcher.closeAll();
    QTRY_VERIFY(QFileInfo::exists(work.filePath(u"TORVEX.INI"_s)));
    QCOMPARE(SettingsFile(work.filePath(u"TORVEX.INI"_s)).read(SettingsFile::toolSection(), u"HTTPurl"_s),
        u"http://127.0.0.1"_s);
}

void TestCrawlerWindow::aFastCrawlIsShownInBoundedBatches()
{
    QTemporaryDir served;
    const QStringList written = SiteGenerator::writeBulkSite(served.path(), 300, 60);
    QCOMPARE(written.size(), 360);
    LighttpdPeer peer;
    QVERIFY2(peer.start(served.path()), qPrintable(peer.errorText()));
    // Counted on the engine's thread until the engine has gone with the tool.
    std::atomic<int> updates { 0 };
    Tool tool;
    QTRY_VERIFY(!tool.window.fields().address.isEmpty());
    constexpr auto Interval = std::chrono::milliseconds(250);
    QMetaObject::invokeMethod(
        tool.engine, [&] { tool.engine->setRefreshInterval(Interval); }, Qt::BlockingQueuedConnection);
    QObject::connect(
        tool.engine, &CrawlerEngine::updated, tool.engine, [&] { ++updates; }, Qt::DirectConnection);
    tool.control<QLineEdit>(u"Adresa:"_s)->setText(peer.baseUrl() + u"index.htm"_s);
    QTest::qWait(50);

    updates = 0;
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(tool.control<QPushButton>(u"Start"_s), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(tool.window.statusText(), u"- gotovo -"_s, 60000);
    // At most one update per interval, and the last one at the end of the crawl,
    // however many fetches the interval held.
    const qint64 intervals = clock.elapsed() / Interval.count();
    QVERIFY2(updates <= intervals + 2, qPrintable(u"%1 updates in %2 intervals"_s.arg(updates).arg(intervals)));

    // The window, updated row by row, shows exactly what the engine holds.
    LocalFileRows rows;
    QString header;
    QMetaObject::invokeMethod(
        tool.engine,
        [&] {
            rows = tool.engine->files().rows();
            header = tool.engine->header();
        },
        Qt::BlockingQueuedConnection);
    QCOMPARE(rows.size(), written.size());
    QCOMPARE(tool.window.filesHeader(), header);
    QTreeWidget *files = tool.window.localFiles();
    QCOMPARE(files->topLevelItemCount(), rows.size());
    for (int row = 0; row < rows.size(); ++row) {
        const QTreeWidgetItem *item = files->topLevelItem(row);
        QCOMPARE(item->text(0), rows.at(row).path);
        QCOMPARE(item->text(1), rows.at(row).size);
        QCOMPARE(item->text(2), rows.at(row).time);
        QCOMPARE(item->icon(0).pixmap(16).toImage(), tool.window.fileIcon(rows.at(row).icon).pixmap(16).toImage());
    }
}

// With the preview on, the real Download worker windows take the pictures as
// fast as they finish them, and the crawl ends as soon as the last file is on disk.
void TestCrawlerWindow::thePreviewHoldsNothingUp()
{
    constexpr int Pictures = 100;
    QTemporaryDir served;
    QByteArray index = "<html><body>\r\n";
    for (int i = 0; i < Pictures; ++i) {
        QImage picture(24 + i % 9, 16, QImage::Format_RGB32);
        picture.fill(QColor::fromHsv(i * 3, 200, 220));
        QVERIFY(QDir(served.path()).mkpath(u"slike"_s));
        QVERIFY(picture.save(served.filePath(u"slike/s%1.jpg"_s.arg(i)), "JPG"));
        index += "<img src=\"slike/s" + QByteArray::number(i) + ".jpg\">\r\n";
    }
    QVERIFY(SiteGenerator::writeFile(served.filePath(u"index.htm"_s), index + "</body></html>\r\n"));
    LighttpdPeer peer;
    QVERIFY2(peer.start(served.path()), qPrintable(peer.errorText()));

    // The frame's tool with the settings of a first run, in an empty working directory.
    FrameTools tools;
    QTemporaryDir &work = tools.work;
    ToolLauncher &launcher = tools.launcher;
    launcher.launch(crawlerTool(), {}, 0);
    auto *window = qobject_cast<CrawlerWindow *>(launcher.openWindows().constFirst());
    QVERIFY(window);
    QTRY_COMPARE(window->fields().address, u"http://127.0.0.1"_s);
    QVERIFY(window->fields().preview && window->fields().pictures && !window->fields().hideWorkers);

    // The crawl runs in a real event loop: the polling waits of QTRY sleep between
    // looks, and the workers would wait for the frame that long.
    QEventLoop loop;
    QDateTime done;
    for (QLineEdit *field : window->findChildren<QLineEdit *>()) {
        connect(field, &QLineEdit::textChanged, window, [&] {
            if (done.isNull() && window->statusText() == CrawlerEngine::doneText()) {
                done = QDateTime::currentDateTime();
                loop.quit();
            }
        });
    }
    int workersSeen = 0;
    connect(&launcher, &ToolLauncher::windowOpened, window, [&](QWidget *opened) {
        if (opened != window)
            ++workersSeen;
    });
    controlOf<QLineEdit>(window, u"Adresa:"_s)->setText(peer.baseUrl() + u"index.htm"_s);
    QTest::mouseClick(controlOf<QPushButton>(window, u"Start"_s), Qt::LeftButton);
    QTimer::singleShot(std::chrono::seconds(30), &loop, &QEventLoop::quit);
    loop.exec();
    QVERIFY(!done.isNull());

    // Every picture is on disk, the last one less than a tenth of a second before "- gotovo -".
    QDateTime lastWritten;
    const QString mirror = work.filePath(LocalNaming::relativeDirectory(peer.baseUrl()));
    for (int i = 0; i < Pictures; ++i) {
        const QString name = u"slike/s%1.jpg"_s.arg(i);
        const QFileInfo saved(mirror + name);
        QCOMPARE(saved.size(), QFileInfo(served.filePath(name)).size());
        // The file takes the server's time when it is closed: the change of its metadata is the close.
        lastWritten = std::max(lastWritten, saved.metadataChangeTime());
    }
    QVERIFY2(lastWritten.msecsTo(done) < 100, qPrintable(QString::number(lastWritten.msecsTo(done))));
    // The workers fetched most of them; the window those that found all four busy.
    peer.stop();
    static const QRegularExpression workerAgent(
        uR"("GET /slike/\S+ HTTP/1\.1" 200 .*"HTTP_[ABCD]\d+"$)"_s, QRegularExpression::MultilineOption);
    const int byWorkers = int(peer.accessLog().count(workerAgent));
    QVERIFY2(byWorkers > Pictures / 2, qPrintable(QString::number(byWorkers)));
    // Each worker window took one picture after another.
    QVERIFY2(workersSeen >= 1 && workersSeen < byWorkers, qPrintable(QString::number(workersSeen)));
    // The Crawler window shows the picture saved last, and a screen reader reads its name.
    QLabel *preview = nullptr;
    for (QLabel *label : window->findChildren<QLabel *>()) {
        if (!label->pixmap().isNull())
            preview = label;
    }
    QVERIFY(preview && preview->isVisible());
    QVERIFY2(preview->accessibleName().startsWith(mirror + u"slike/s"_s), qPrintable(preview->accessibleName()));
    launcher.container(window)->grab().save(u"/tmp/crawler-window-preview.png"_s);
}

QTEST_MAIN(TestCrawlerWindow)
#include "tst_crawlerwindow.moc"
