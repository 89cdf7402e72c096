#include "platform/DialogUnits.h"
#include "platform/InstanceRegistry.h"
#include "platform/SettingsFile.h"
#include "platform/WindowPlacementStore.h"
#include "shell/support/TestTool.h"
#include "shell/ui/ToolLauncher.h"

#include <QAbstractButton>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QtTest>

#include <thread>

using namespace Qt::StringLiterals;

class TestToolLauncher : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void singleInstanceOpensOneWindow();
    void singleInstanceFromTwoThreadsOpensOneWindow();
    void secondStartRaisesAndRestores();
    void markIsReleasedAfterEngineStopped();
    void alreadyClaimedOpensWithoutClaiming();
    void multiInstanceOpensWindowEach();
    void engineCloseRequestClosesWindow();
    void windowClosingItselfClosesFrame();
    void closeAllStopsEveryEngine();
    void stuckEngineDoesNotHangClose();
    void stuckEnginesShareOneLimit();
    void failedCreateReleasesMark();
    void topLevelWindowRunsItsEngine();

    void firstRunOpensAtDesignedSize();
    void maximizedKeepsNormalGeometry();
    void minimizedCloseLeavesSection();
    void dialogUnitsFollowFont();

private:
    QString iniPath() const { return m_dir->filePath(u"TORVEX.INI"_s); }
    QString section(const QString &name) const;
    QMdiSubWindow *subWindowOf(QWidget *window) const
    {
        return qobject_cast<QMdiSubWindow *>(m_launcher->container(window));
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<WindowPlacementStore> m_store;
    std::unique_ptr<QMdiArea> m_area;
    std::unique_ptr<ToolLauncher> m_launcher;
    std::shared_ptr<TestToolLog> m_log;
};

QString TestToolLauncher::section(const QString &name) const
{
    const SettingsFile file(iniPath());
    return file.readMany(name, { u"Maximize"_s, u"XPos"_s, u"YPos"_s, u"Width"_s, u"Height"_s }).join(u'|');
}

void TestToolLauncher::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_store = std::make_unique<WindowPlacementStore>(SettingsFile(iniPath()));
    m_area = std::make_unique<QMdiArea>();
    m_area->resize(900, 700);
    m_area->show();
    m_launcher = std::make_unique<ToolLauncher>(m_area.get(), m_store.get());
    m_launcher->setShutdownLimit(std::chrono::seconds(5));
    m_log = std::make_shared<TestToolLog>();
}

void TestToolLauncher::cleanup()
{
    m_launcher.reset();
    m_area.reset();
    m_store.reset();
}

void TestToolLauncher::singleInstanceOpensOneWindow()
{
    const ToolDescriptor tool = testTool(u"Itst"_s, true, m_log);
    m_launcher->launch(tool, {}, 0);
    m_launcher->launch(tool, {}, 0);
    QCoreApplication::processEvents();
    QCOMPARE(m_launcher->openWindows().size(), 1);
    QCOMPARE(m_log->created.load(), 1);
    QCOMPARE(m_area->subWindowList().size(), 1);
    QVERIFY(InstanceRegistry::isClaimed(u"Itst"_s));
}

void TestToolLauncher::singleInstanceFromTwoThreadsOpensOneWindow()
{
    const ToolDescriptor tool = testTool(u"WS_http"_s, true, m_log);
    for (int round = 0; round < 20; ++round) {
        std::atomic<bool> go { false };
        auto start = [&] {
            while (!go.load()) { }
            ToolHost *host = m_launcher.get();
            host->launch(tool, {}, 0);
        };
        std::thread first(start);
        std::thread second(start);
        go = true;
        first.join();
        second.join();
        QTRY_COMPARE(m_launcher->openWindows().size(), 1);
        QTest::qWait(5);
        QCOMPARE(m_launcher->openWindows().size(), 1);
        m_launcher->closeAll();
        QVERIFY(!InstanceRegistry::isClaimed(u"WS_http"_s));
    }
    QCOMPARE(m_log->created.load(), 20);
}

void TestToolLauncher::secondStartRaisesAndRestores()
{
    const ToolDescriptor single = testTool(u"Http_asy"_s, true, m_log);
    const ToolDescriptor other = testTool(u"Http_syn"_s, false, m_log);
    m_launcher->launch(single, {}, 0);
    m_launcher->launch(other, {}, 0);
    const QList<QWidget *> windows = m_launcher->openWindows();
    QCOMPARE(windows.size(), 2);
    QMdiSubWindow *crawler = subWindowOf(windows.at(0));
    crawler->showMinimized();
    m_area->setActiveSubWindow(subWindowOf(windows.at(1)));
    QVERIFY(crawler->isMinimized());

    m_launcher->launch(single, {}, 0);
    QCOMPARE(m_launcher->openWindows().size(), 2);
    QVERIFY(!crawler->isMinimized());
    QCOMPARE(m_area->activeSubWindow(), crawler);
}

void TestToolLauncher::markIsReleasedAfterEngineStopped()
{
    const ToolDescriptor tool = testTool(u"Itst"_s, true, m_log);
    m_launcher->launch(tool, {}, 0);
    QTRY_COMPARE(m_log->started.load(), 1);
    // When the window is gone the engine has stopped and the mark is free again.
    bool releasedAfterStop = false;
    // The connection ends with this function, whose variable it writes.
    QObject scope;
    connect(m_launcher.get(), &ToolLauncher::windowClosed, &scope,
        [&] { releasedAfterStop = m_log->stopped.load() == 1 && !InstanceRegistry::isClaimed(u"Itst"_s); });
    // Whoever waits for the tool to end hears of it once.
    QSignalSpy released(InstanceRegistry::notifier(), &InstanceRegistry::Notifier::released);
    subWindowOf(m_launcher->openWindows().at(0))->close();
    QVERIFY(releasedAfterStop);
    QCOMPARE(released.size(), 1);
    QCOMPARE(released.first().first().toString(), u"Itst"_s);
    m_launcher->launch(tool, {}, 0);
    QCOMPARE(m_launcher->openWindows().size(), 1);
    QCOMPARE(m_log->created.load(), 2);
}

void TestToolLauncher::alreadyClaimedOpensWithoutClaiming()
{
    const InstanceRegistry::Claim claim = InstanceRegistry::tryClaim(u"Http_asyB"_s);
    QVERIFY(claim);
    const ToolDescriptor worker = testTool(u"Http_asyB"_s, true, m_log);
    std::thread crawler([&] {
        ToolHost *host = m_launcher.get();
        host->launch(worker, { u"http://127.0.0.1/a.gif"_s }, claim);
    });
    crawler.join();
    QTRY_COMPARE(m_launcher->openWindows().size(), 1);
    QVERIFY(InstanceRegistry::isClaimed(u"Http_asyB"_s));
    m_launcher->closeAll();
    QVERIFY(!InstanceRegistry::isClaimed(u"Http_asyB"_s));

    // A tool may free its claim before its window closes (a worker whose file is
    // closed); the window's own release then leaves a later claim alone.
    const InstanceRegistry::Claim first = InstanceRegistry::tryClaim(u"Http_asyB"_s);
    m_launcher->launch(worker, {}, first);
    QTRY_COMPARE(m_launcher->openWindows().size(), 1);
    InstanceRegistry::release(u"Http_asyB"_s, first);
    const InstanceRegistry::Claim later = InstanceRegistry::tryClaim(u"Http_asyB"_s);
    QVERIFY(later && later != first);
    m_launcher->closeAll();
    QVERIFY(InstanceRegistry::isClaimed(u"Http_asyB"_s));
    InstanceRegistry::release(u"Http_asyB"_s, later);
    QVERIFY(!InstanceRegistry::isClaimed(u"Http_asyB"_s));
}

void TestToolLauncher::multiInstanceOpensWindowEach()
{
    const ToolDescriptor tool = testTool(u"Http_syn"_s, false, m_log);
    m_launcher->launch(tool, {}, 0);
    m_launcher->launch(tool, {}, 0);
    const QList<QWidget *> windows = m_launcher->openWindows();
    QCOMPARE(windows.size(), 2);
    QTRY_COMPARE(m_log->started.load(), 2);
    QThread *first = m_launcher->engineThread(windows.at(0));
    QThread *second = m_launcher->engineThread(windows.at(1));
    QVERIFY(first && second);
    QVERIFY(first != second);
    QMutexLocker lock(&m_log->mutex);
    QCOMPARE(m_log->startThreads.size(), 2);
    QVERIFY(m_log->startThreads.contains(first));
    QVERIFY(m_log->startThreads.contains(second));
    QVERIFY(!m_log->startThreads.contains(QThread::currentThread()));
}

void TestToolLauncher::engineCloseRequestClosesWindow()
{
    TestEngine *engine = nullptr;
    ToolDescriptor tool = testTool(u"DialUpcall"_s, false, m_log);
    const auto create = tool.create;
    tool.create = [&engine, create](const QStringList &arguments) {
        ToolParts parts = create(arguments);
        engine = static_cast<TestEngine *>(parts.engine.get());
        return parts;
    };
    m_launcher->launch(tool, {}, 0);
    QTRY_COMPARE(m_log->started.load(), 1);
    QMetaObject::invokeMethod(engine, &TestEngine::requestClose, Qt::QueuedConnection);
    QTRY_COMPARE(m_launcher->openWindows().size(), 0);
    QCOMPARE(m_log->stopped.load(), 1);
    QTRY_COMPARE(m_area->subWindowList().size(), 0);
}

void TestToolLauncher::windowClosingItselfClosesFrame()
{
    m_launcher->launch(testTool(u"MailShell"_s, false, m_log), {}, 0);
    QTRY_COMPARE(m_log->started.load(), 1);
    // A tool's own close button closes its window, not just the content of the frame.
    m_launcher->openWindows().at(0)->close();
    QTRY_COMPARE(m_area->subWindowList().size(), 0);
    QCOMPARE(m_log->stopped.load(), 1);
    QVERIFY(m_launcher->openWindows().isEmpty());
}

void TestToolLauncher::closeAllStopsEveryEngine()
{
    m_launcher->launch(testTool(u"Http_syn"_s, false, m_log), {}, 0);
    m_launcher->launch(testTool(u"Itst"_s, true, m_log), {}, 0);
    m_launcher->launch(testTool(u"MailShell"_s, false, m_log), {}, 0);
    QTRY_COMPARE(m_log->started.load(), 3);
    m_launcher->closeAll();
    QCOMPARE(m_log->stopped.load(), 3);
    QCOMPARE(m_launcher->openWindows().size(), 0);
    QVERIFY(!InstanceRegistry::isClaimed(u"Itst"_s));
    for (const QString &name : { u"Http_syn"_s, u"Itst"_s, u"MailShell"_s })
        QVERIFY2(section(name).startsWith(u"No|"_s), qPrintable(name));
}

void TestToolLauncher::stuckEngineDoesNotHangClose()
{
    m_log->stopGate = std::make_shared<QSemaphore>(0);
    m_launcher->setShutdownLimit(std::chrono::milliseconds(200));
    m_launcher->launch(testTool(u"Itst"_s, true, m_log), {}, 0);
    QTRY_COMPARE(m_log->started.load(), 1);
    QElapsedTimer watch;
    watch.start();
    m_launcher->closeAll();
    QVERIFY(watch.elapsed() < 3000);
    QCOMPARE(m_launcher->openWindows().size(), 0);
    // The stuck engine keeps its mark until it has really stopped.
    QVERIFY(InstanceRegistry::isClaimed(u"Itst"_s));
    m_log->stopGate->release();
    QTRY_VERIFY(!InstanceRegistry::isClaimed(u"Itst"_s));
    QCOMPARE(m_log->stopped.load(), 1);
}

void TestToolLauncher::stuckEnginesShareOneLimit()
{
    m_log->stopGate = std::make_shared<QSemaphore>(0);
    m_launcher->setShutdownLimit(std::chrono::milliseconds(1500));
    for (int i = 0; i < 3; ++i)
        m_launcher->launch(testTool(u"Http_syn"_s, false, m_log), {}, 0);
    QTRY_COMPARE(m_log->started.load(), 3);
    QElapsedTimer watch;
    watch.start();
    m_launcher->closeAll();
    // Three limits one after another would take 4.5 s.
    QVERIFY2(watch.elapsed() < 3000, qPrintable(QString::number(watch.elapsed())));
    QCOMPARE(m_launcher->openWindows().size(), 0);
    m_log->stopGate->release(3);
    QTRY_COMPARE(m_log->stopped.load(), 3);
}

void TestToolLauncher::failedCreateReleasesMark()
{
    ToolDescriptor tool;
    tool.procedureName = u"WS_http"_s;
    tool.singleInstance = true;
    tool.create = [](const QStringList &) -> ToolParts { throw std::runtime_error("no window"); };
    m_launcher->launch(tool, {}, 0);
    QCOMPARE(m_launcher->openWindows().size(), 0);
    QVERIFY(!InstanceRegistry::isClaimed(u"WS_http"_s));
}

void TestToolLauncher::topLevelWindowRunsItsEngine()
{
    ToolDescriptor box;
    box.topLevel = true;
    auto log = m_log;
    box.create = [log](const QStringList &) {
        ToolParts parts;
        parts.engine = std::make_unique<TestEngine>(log);
        parts.window = new QMessageBox(QMessageBox::Information, u"User name"_s, u"Korisnik"_s, QMessageBox::Ok);
        return parts;
    };
    m_launcher->launch(box, {}, 0);
    QTRY_COMPARE(m_log->started.load(), 1);
    QCOMPARE(m_area->subWindowList().size(), 0);
    auto *message = qobject_cast<QMessageBox *>(m_launcher->openWindows().value(0));
    QVERIFY(message);
    QVERIFY(message->isWindow());
    QVERIFY(message->isVisible());
    QCOMPARE(message->windowModality(), Qt::NonModal);
    message->button(QMessageBox::Ok)->click();
    QTRY_COMPARE(m_launcher->openWindows().size(), 0);
    QCOMPARE(m_log->stopped.load(), 1);
}

void TestToolLauncher::firstRunOpensAtDesignedSize()
{
    QVERIFY(!QFile::exists(iniPath()));
    m_launcher->launch(testTool(u"Http_syn"_s, false, m_log), {}, 0);
    QWidget *window = m_launcher->openWindows().at(0);
    QCOMPARE(window->size(), QSize(240, 120));
    QVERIFY(!subWindowOf(window)->isMaximized());
}

void TestToolLauncher::maximizedKeepsNormalGeometry()
{
    const ToolDescriptor tool = testTool(u"Http_syn"_s, false, m_log);
    m_launcher->launch(tool, {}, 0);
    QMdiSubWindow *sub = subWindowOf(m_launcher->openWindows().at(0));
    const DialogUnits adapter = DialogUnits::of(QFontMetrics(m_launcher->openWindows().at(0)->font()));
    const QRect normalUnits(30, 20, 200, 120);
    sub->setGeometry(adapter.toPixels(normalUnits));
    sub->close();
    QCOMPARE(section(u"Http_syn"_s), u"No|30|20|200|120"_s);

    m_launcher->launch(tool, {}, 0);
    sub = subWindowOf(m_launcher->openWindows().at(0));
    QCOMPARE(sub->geometry(), adapter.toPixels(normalUnits));
    sub->showMaximized();
    sub->close();
    QCOMPARE(section(u"Http_syn"_s), u"Yes|30|20|200|120"_s);

    m_launcher->launch(tool, {}, 0);
    sub = subWindowOf(m_launcher->openWindows().at(0));
    QVERIFY(sub->isMaximized());
    sub->showNormal();
    QCOMPARE(sub->geometry(), adapter.toPixels(normalUnits));
}

void TestToolLauncher::minimizedCloseLeavesSection()
{
    const ToolDescriptor tool = testTool(u"MailShell"_s, false, m_log);
    SettingsFile file(iniPath());
    QVERIFY(file.writeMany(u"MailShell"_s,
        { { u"Maximize"_s, u"No"_s }, { u"XPos"_s, u"12"_s }, { u"YPos"_s, u"7"_s }, { u"Height"_s, u"90"_s },
            { u"Width"_s, u"150"_s } }));
    QFile before(iniPath());
    QVERIFY(before.open(QIODevice::ReadOnly));
    const QByteArray bytes = before.readAll();
    before.close();

    m_launcher->launch(tool, {}, 0);
    QMdiSubWindow *sub = subWindowOf(m_launcher->openWindows().at(0));
    const DialogUnits adapter = DialogUnits::of(QFontMetrics(m_launcher->openWindows().at(0)->font()));
    QCOMPARE(sub->geometry(), adapter.toPixels(QRect(12, 7, 150, 90)));
    sub->showMinimized();
    sub->close();
    QFile after(iniPath());
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), bytes);
}

void TestToolLauncher::dialogUnitsFollowFont()
{
    QFont font;
    font.setPixelSize(13);
    const QFontMetrics metrics(font);
    const DialogUnits adapter = DialogUnits::of(metrics);
    const int charWidth = metrics.averageCharWidth();
    const int charHeight = metrics.height();
    QCOMPARE(adapter.toPixels(QSize(4, 8)), QSize(charWidth, charHeight));
    QCOMPARE(adapter.toPixels(QSize(400, 800)), QSize(100 * charWidth, 100 * charHeight));
    const QRect units(17, 33, 310, 190);
    QCOMPARE(adapter.toUnits(adapter.toPixels(units)), units);
}

QTEST_MAIN(TestToolLauncher)
#include "tst_toollauncher.moc"
