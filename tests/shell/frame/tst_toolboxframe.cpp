#include "common/AccessibilityCheck.h"
#include "platform/DialogUnits.h"
#include "platform/SettingsFile.h"
#include "platform/ToolHost.h"
#include "platform/WindowPlacementStore.h"
#include "shell/support/TestTool.h"
#include "shell/ui/FrameClock.h"
#include "shell/ui/ToolCatalog.h"
#include "shell/ui/ToolLauncher.h"
#include "shell/ui/ToolboxFrame.h"

#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPrintDialog>
#include <QScrollBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

struct ExpectedEntry
{
    QString menu;
    QString caption; // empty: a separator
    QString statusText;
};

// The frame's menu as the user sees it, in order.
const QList<ExpectedEntry> &expectedMenu()
{
    static const QList<ExpectedEntry> entries {
        { u"Meni"_s, u"Http - get URL"_s, u"Http downloader - wininet.dll"_s },
        { u"Meni"_s, u"Http - get page"_s, u"Http - sinhroni download"_s },
        { u"Meni"_s, {}, {} },
        { u"Meni"_s, u"Ftp "_s, u"Ftp client"_s },
        { u"Meni"_s, {}, {} },
        { u"Meni"_s, u"Http server"_s, u"Http server - winsock.dll"_s },
        { u"Meni"_s, {}, {} },
        { u"Meni"_s, u"Internet veza"_s, u"Da li postoji internet veza"_s },
        { u"Meni"_s, u"DialUp"_s, u"DialUp - internet"_s },
        { u"&File"_s, u"P&rint Setup..."_s, u"Setup Printer"_s },
        { u"&File"_s, {}, {} },
        { u"&File"_s, u"Izlaz"_s, u"Izlaz iz programa"_s },
        { u"&Edit"_s, u"Cu&t"_s, u"Remove item to Windows Clipboard"_s },
        { u"&Edit"_s, u"&Copy"_s, u"Copy item to Windows Clipboard"_s },
        { u"&Edit"_s, u"&Paste"_s, u"Paste contents of Windows Clipboard"_s },
        { u"&Window"_s, u"T&ile"_s, u"Make all open windows visible"_s },
        { u"&Window"_s, u"&Cascade"_s, u"Stack all open windows"_s },
        { u"&Window"_s, u"&Arrange Icons"_s, u"Align all window icons"_s },
        { u"&Help"_s, u"User name"_s, u"User name"_s },
        { u"&Help"_s, u"CPU"_s, u"CPU"_s },
        { u"&Help"_s, u"Diskovi"_s, u"Logički diskovi"_s },
        { u"&Help"_s, {}, {} },
        { u"&Help"_s, u"E- mail"_s, u"quorin@example.org"_s },
    };
    return entries;
}

QMenu *menuNamed(QMainWindow &frame, const QString &title)
{
    for (QAction *action : frame.menuBar()->actions()) {
        if (action->text() == title)
            return action->menu();
    }
    return nullptr;
}

} // namespace

class TestToolboxFrame : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void titleIconAndMenuBar();
    void menuItems_data();
    void menuItems();
    void menuStatusTexts_data();
    void menuStatusTexts();
    void statusTipsGoToFirstZone();
    void statusZones();
    void clockFillsDateAndTime();
    void clockTicksEverySecond();
    void timerRule_data();
    void timerRule();
    void dateAndTimeTexts_data();
    void dateAndTimeTexts();
    void toolsNotBuiltAreDisabled();

    void firstRunOpensAtDesignedSize();
    void closeSavesMainAndClosesEveryTool();
    void exitItemClosesFrame();
    void closeSavesEachWindowAsItWas();
    void terminationSignalClosesFrame();
    void terminationSignalDuringToolDialog();
    void printSetupOpensPrinterDialog();
    void toolWindowsShowProgramIcon();
    void windowMenuListsChildren();
    void editActsOnFocusedControl();
    void tileCascadeAndArrangeIcons();
    void windowBeyondFrameCanBeScrolledTo();
    void accessibility();
    void screenshot();

private:
    QString iniPath() const { return m_dir->filePath(u"TORVEX.INI"_s); }
    void openTools(int count);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<WindowPlacementStore> m_store;
    std::unique_ptr<ToolboxFrame> m_frame;
    std::shared_ptr<TestToolLog> m_log;
};

void TestToolboxFrame::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_store = std::make_unique<WindowPlacementStore>(SettingsFile(iniPath()));
    m_frame = std::make_unique<ToolboxFrame>(*m_store);
    m_log = std::make_shared<TestToolLog>();
}

void TestToolboxFrame::cleanup()
{
    m_frame.reset();
    m_store.reset();
}

void TestToolboxFrame::openTools(int count)
{
    const QStringList names { u"Http_syn"_s, u"MailShell"_s, u"DialUpcall"_s };
    for (int i = 0; i < count; ++i)
        m_frame->launcher().launch(testTool(names.at(i % names.size()), false, m_log), {}, 0);
    QTRY_COMPARE(m_log->started.load(), count);
}

void TestToolboxFrame::titleIconAndMenuBar()
{
    QCOMPARE(m_frame->windowTitle(), u"Net + by Quorin"_s);
    QVERIFY(!m_frame->windowIcon().isNull());
    QCOMPARE(ToolHost::instance(), static_cast<ToolHost *>(&m_frame->launcher()));
    QStringList titles;
    for (QAction *action : m_frame->menuBar()->actions())
        titles << action->text();
    QCOMPARE(titles, QStringList({ u"Meni"_s, u"&File"_s, u"&Edit"_s, u"&Window"_s, u"&Help"_s }));
    QVERIFY(m_frame->findChildren<QToolBar *>().isEmpty());
    QVERIFY(m_frame->mdiArea()->background().texture().width() > 0);
}

void TestToolboxFrame::menuItems_data()
{
    QTest::addColumn<QString>("menu");
    for (const QString &menu : { u"Meni"_s, u"&File"_s, u"&Edit"_s, u"&Window"_s, u"&Help"_s })
        QTest::newRow(qPrintable(menu)) << menu;
}

void TestToolboxFrame::menuItems()
{
    QFETCH(QString, menu);
    QMenu *shown = menuNamed(*m_frame, menu);
    QVERIFY(shown);
    QList<ExpectedEntry> expected;
    for (const ExpectedEntry &entry : expectedMenu()) {
        if (entry.menu == menu)
            expected << entry;
    }
    const QList<QAction *> actions = shown->actions();
    QCOMPARE(actions.size(), expected.size());
    for (qsizetype i = 0; i < actions.size(); ++i) {
        QCOMPARE(actions.at(i)->isSeparator(), expected.at(i).caption.isEmpty());
        QCOMPARE(actions.at(i)->text(), expected.at(i).caption);
        QCOMPARE(actions.at(i)->statusTip(), expected.at(i).statusText);
    }
}

void TestToolboxFrame::menuStatusTexts_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("statusText");
    QTest::newRow("Meni") << u"Meni"_s << QString();
    QTest::newRow("File") << u"&File"_s << QString();
    QTest::newRow("Edit") << u"&Edit"_s << QString();
    QTest::newRow("Window") << u"&Window"_s << u"Create and Arrange windows"_s;
    QTest::newRow("Help") << u"&Help"_s << u"Windows Help"_s;
}

void TestToolboxFrame::menuStatusTexts()
{
    QFETCH(QString, menu);
    QFETCH(QString, statusText);
    QMenu *shown = menuNamed(*m_frame, menu);
    QVERIFY(shown);
    QCOMPARE(shown->menuAction()->statusTip(), statusText);
    m_frame->statusZone(1)->setText(u"before"_s);
    emit m_frame->menuBar()->hovered(shown->menuAction());
    QCOMPARE(m_frame->statusZone(1)->text(), statusText);
}

void TestToolboxFrame::statusTipsGoToFirstZone()
{
    m_frame->open();
    QAction *ftp = m_frame->action(MenuItem::Ftp);
    QAction *cut = m_frame->action(MenuItem::Cut);
    // Hovering an item of an open menu.
    cut->hover();
    QCOMPARE(m_frame->statusZone(1)->text(), u"Remove item to Windows Clipboard"_s);
    // The status-tip event a menu sends to the widget it was opened from.
    QVERIFY(ftp->showStatusText(m_frame->menuBar()));
    QCOMPARE(m_frame->statusZone(1)->text(), u"Ftp client"_s);
    QVERIFY(m_frame->statusZone(1)->isVisible());
    QVERIFY(m_frame->statusZone(2)->text().isEmpty());

    // A menu opened for real: its highlighted item speaks, and the zone empties when it closes.
    QMenu *window = m_frame->windowMenu();
    window->popup(m_frame->mapToGlobal(QPoint(10, 10)));
    QVERIFY(QTest::qWaitForWindowExposed(window));
    window->setActiveAction(m_frame->action(MenuItem::Tile));
    QCOMPARE(m_frame->statusZone(1)->text(), u"Make all open windows visible"_s);
    window->hide();
    QCOMPARE(m_frame->statusZone(1)->text(), QString());
}

void TestToolboxFrame::statusZones()
{
    m_frame->open();
    const DialogUnits adapter = DialogUnits::of(m_frame->fontMetrics());
    const QList<int> widths { 80, 120, 45 };
    for (int zone = 2; zone <= 4; ++zone)
        QCOMPARE(m_frame->statusZone(zone)->width(), adapter.toPixels(QSize(widths.at(zone - 2), 0)).width());
    // Zone 1 takes whatever width the frame gains.
    QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
    QCoreApplication::processEvents();
    const int firstWidth = m_frame->statusZone(1)->width();
    m_frame->resize(m_frame->width() + 200, m_frame->height());
    QTRY_COMPARE(m_frame->statusZone(1)->width(), firstWidth + 200);
    QVERIFY(m_frame->statusZone(1)->x() < m_frame->statusZone(2)->x());
    QVERIFY(m_frame->statusZone(2)->x() < m_frame->statusZone(3)->x());
    QVERIFY(m_frame->statusZone(3)->x() < m_frame->statusZone(4)->x());

    // A status text wider than zone 1, in a frame at its designed size, takes
    // nothing from the other zones: they keep their widths, side by side
    // without overlapping, inside the frame.
    m_frame->resize(adapter.toPixels(ToolboxFrame::designedSize()));
    QCoreApplication::processEvents();
    const int frameWidth = m_frame->width();
    m_frame->action(MenuItem::Crawler)->showStatusText(m_frame->menuBar());
    m_frame->statusZone(1)->setText(m_frame->statusZone(1)->text().repeated(4));
    QCoreApplication::processEvents();
    QCOMPARE(m_frame->width(), frameWidth);
    for (int zone = 2; zone <= 4; ++zone) {
        const QRect shown = m_frame->statusZone(zone)->geometry();
        QCOMPARE(shown.width(), adapter.toPixels(QSize(widths.at(zone - 2), 0)).width());
        QVERIFY(m_frame->statusZone(zone - 1)->geometry().right() < shown.left());
    }
    QVERIFY(m_frame->statusZone(4)->geometry().right() < m_frame->statusBar()->width());
}

void TestToolboxFrame::clockFillsDateAndTime()
{
    QDateTime moment(QDate(2026, 12, 8), QTime(9, 5, 7));
    m_frame->clock().setTimeSource([&moment] { return moment; });
    m_frame->open();
    QCOMPARE(m_frame->statusZone(3)->text(), u"December 8, 2026"_s);
    QCOMPARE(m_frame->statusZone(4)->text(), u"09:05:07"_s);
    moment = QDateTime(QDate(2027, 1, 1), QTime(0, 0, 1));
    QTRY_COMPARE_WITH_TIMEOUT(m_frame->statusZone(4)->text(), u"00:00:01"_s, 3000);
    QCOMPARE(m_frame->statusZone(3)->text(), u"January 1, 2027"_s);
}

void TestToolboxFrame::clockTicksEverySecond()
{
    m_frame->open();
    QCOMPARE(m_frame->clock().intervalMilliseconds(), 1000);
    const QString first = m_frame->statusZone(4)->text();
    QCOMPARE(first.size(), 8);
    QTRY_VERIFY_WITH_TIMEOUT(m_frame->statusZone(4)->text() != first, 3000);
    QCOMPARE(m_frame->statusZone(3)->text(), FrameClock::dateText(QDate::currentDate()));
}

void TestToolboxFrame::timerRule_data()
{
    QTest::addColumn<int>("configured");
    QTest::addColumn<int>("used");
    QTest::newRow("0") << 0 << 100;
    QTest::newRow("negative") << -5 << 100;
    QTest::newRow("1") << 1 << 1;
    QTest::newRow("50") << 50 << 50;
    QTest::newRow("100") << 100 << 100;
    QTest::newRow("101") << 101 << 100;
    QTest::newRow("huge") << 100000 << 100;
}

void TestToolboxFrame::timerRule()
{
    QFETCH(int, configured);
    QFETCH(int, used);
    QCOMPARE(FrameClock::timerPeriod(configured), used);
    FrameClock clock;
    clock.start(configured);
    QCOMPARE(clock.intervalMilliseconds(), used * 10);
}

void TestToolboxFrame::dateAndTimeTexts_data()
{
    QTest::addColumn<QDateTime>("moment");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");
    QTest::newRow("morning") << QDateTime(QDate(2026, 12, 8), QTime(7, 3, 9)) << u"December 8, 2026"_s << u"07:03:09"_s;
    QTest::newRow("evening") << QDateTime(QDate(2026, 5, 31), QTime(23, 59, 59)) << u"May 31, 2026"_s << u"23:59:59"_s;
    QTest::newRow("midnight") << QDateTime(QDate(1999, 2, 1), QTime(0, 0)) << u"February 1, 1999"_s << u"00:00:00"_s;
}

void TestToolboxFrame::dateAndTimeTexts()
{
    QFETCH(QDateTime, moment);
    QFETCH(QString, date);
    QFETCH(QString, time);
    QCOMPARE(FrameClock::dateText(moment.date()), date);
    QCOMPARE(FrameClock::timeText(moment.time()), time);
}

void TestToolboxFrame::toolsNotBuiltAreDisabled()
{
    for (MenuItem item : { MenuItem::PrintSetup, MenuItem::Exit, MenuItem::Cut, MenuItem::Copy, MenuItem::Paste,
             MenuItem::Tile, MenuItem::Cascade, MenuItem::ArrangeIcons })
        QVERIFY(m_frame->action(item)->isEnabled());
    for (MenuItem item :
        { MenuItem::Crawler, MenuItem::PageGetter, MenuItem::Ftp, MenuItem::HttpServer, MenuItem::ConnectionCheck,
            MenuItem::DialUp, MenuItem::UserName, MenuItem::Processor, MenuItem::Drives, MenuItem::Mail })
        QCOMPARE(m_frame->action(item)->isEnabled(), ToolCatalog::descriptorFor(item).has_value());
}

void TestToolboxFrame::firstRunOpensAtDesignedSize()
{
    QVERIFY(!QFile::exists(iniPath()));
    m_frame->open();
    const DialogUnits adapter = DialogUnits::of(m_frame->fontMetrics());
    QCOMPARE(m_frame->size(), adapter.toPixels(ToolboxFrame::designedSize()));
    QVERIFY(!m_frame->isMaximized());
}

void TestToolboxFrame::closeSavesMainAndClosesEveryTool()
{
    m_frame->open();
    const DialogUnits adapter = DialogUnits::of(m_frame->fontMetrics());
    m_frame->resize(adapter.toPixels(QSize(400, 250)));
    openTools(3);
    QSignalSpy closed(m_frame.get(), &ToolboxFrame::closed);
    QElapsedTimer watch;
    watch.start();
    QVERIFY(m_frame->close());
    QVERIFY(watch.elapsed() < 10000);
    QCOMPARE(closed.size(), 1);
    QCOMPARE(m_log->stopped.load(), 3);
    QVERIFY(m_frame->launcher().openWindows().isEmpty());
    const SettingsFile file(iniPath());
    QCOMPARE(file.read(u"Main"_s, u"Maximize"_s), u"No"_s);
    QCOMPARE(file.read(u"Main"_s, u"Width"_s), u"400"_s);
    QCOMPARE(file.read(u"Main"_s, u"Height"_s), u"250"_s);
    for (const QString &tool : { u"Http_syn"_s, u"MailShell"_s, u"DialUpcall"_s })
        QCOMPARE(file.read(tool, u"Maximize"_s), u"No"_s);

    // The next frame opens where this one was.
    ToolboxFrame next(*m_store);
    next.open();
    QCOMPARE(next.size(), adapter.toPixels(QSize(400, 250)));
    next.showMaximized();
    next.close();
    QCOMPARE(file.read(u"Main"_s, u"Maximize"_s), u"Yes"_s);
    QCOMPARE(file.read(u"Main"_s, u"Width"_s), u"400"_s);
}

void TestToolboxFrame::exitItemClosesFrame()
{
    m_frame->open();
    openTools(1);
    m_frame->action(MenuItem::Exit)->trigger();
    QVERIFY(!m_frame->isVisible());
    QCOMPARE(m_log->stopped.load(), 1);
    QCOMPARE(SettingsFile(iniPath()).read(u"Main"_s, u"Maximize"_s), u"No"_s);
}

void TestToolboxFrame::closeSavesEachWindowAsItWas()
{
    m_frame->open();
    m_frame->resize(900, 650);
    openTools(3);
    const QList<QMdiSubWindow *> children = m_frame->mdiArea()->subWindowList(QMdiArea::CreationOrder);
    children.at(1)->showMinimized();
    children.at(0)->showMaximized();
    QVERIFY(!children.at(2)->isMaximized());
    // Closing the maximized window first must not maximize the others on their way out.
    m_frame->close();
    const SettingsFile file(iniPath());
    QCOMPARE(file.read(u"Http_syn"_s, u"Maximize"_s), u"Yes"_s);
    QCOMPARE(file.read(u"MailShell"_s, u"Maximize"_s), QString());
    QCOMPARE(file.read(u"DialUpcall"_s, u"Maximize"_s), u"No"_s);
    QVERIFY(!file.read(u"DialUpcall"_s, u"Width"_s).isEmpty());
}

void TestToolboxFrame::terminationSignalClosesFrame()
{
    m_frame->closeOnTerminationSignals();
    m_frame->open();
    openTools(2);
    QSignalSpy closed(m_frame.get(), &ToolboxFrame::closed);
    QCOMPARE(::raise(SIGTERM), 0);
    QTRY_COMPARE(closed.size(), 1);
    QCOMPARE(m_log->stopped.load(), 2);
    QCOMPARE(SettingsFile(iniPath()).read(u"Main"_s, u"Maximize"_s), u"No"_s);
}

void TestToolboxFrame::terminationSignalDuringToolDialog()
{
    m_frame->closeOnTerminationSignals();
    m_frame->open();
    openTools(1);
    QPointer<TestWindow> window = static_cast<TestWindow *>(m_frame->launcher().openWindows().at(0));
    QSignalSpy closed(m_frame.get(), &ToolboxFrame::closed);
    // A tool asks a question and goes on with its window once it has the
    // answer; the signal arrives while the question waits.
    bool dialogShown = false;
    bool answered = false;
    QString fieldAfterAnswer;
    window->field()->setText(u"polje"_s);
    QElapsedTimer watch;
    watch.start();
    QTimer::singleShot(0, window, [&] {
        QTimer::singleShot(0, [&] {
            dialogShown = QApplication::activeModalWidget() != nullptr;
            ::raise(SIGTERM);
        });
        // Should the question never be dismissed, the test fails instead of waiting for ever.
        QTimer::singleShot(10000, [] {
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                dialog->done(QMessageBox::Yes);
        });
        QMessageBox::question(window, u"Pitanje"_s, u"Obrisati?"_s);
        answered = true;
        fieldAfterAnswer = window->field()->text();
    });
    QTRY_COMPARE(closed.size(), 1);
    QVERIFY(dialogShown);
    QVERIFY(answered);
    QVERIFY(watch.elapsed() < 10000);
    QCOMPARE(fieldAfterAnswer, u"polje"_s);
    QCOMPARE(m_log->stopped.load(), 1);
    QTRY_VERIFY(!window);
    QCOMPARE(SettingsFile(iniPath()).read(u"Http_syn"_s, u"Maximize"_s), u"No"_s);
}

void TestToolboxFrame::printSetupOpensPrinterDialog()
{
    m_frame->open();
    m_frame->action(MenuItem::PrintSetup)->trigger();
    QPrintDialog *dialog = nullptr;
    QTRY_VERIFY((dialog = m_frame->findChild<QPrintDialog *>()) && dialog->isVisible());
    // Not modal for the whole program: the tools go on while it is open.
    QVERIFY(dialog->windowModality() != Qt::ApplicationModal);
    dialog->reject();
    QTRY_VERIFY(!m_frame->findChild<QPrintDialog *>());
    // It can be opened again.
    m_frame->action(MenuItem::PrintSetup)->trigger();
    QTRY_VERIFY((dialog = m_frame->findChild<QPrintDialog *>()) && dialog->isVisible());
    dialog->reject();
}

void TestToolboxFrame::toolWindowsShowProgramIcon()
{
    m_frame->open();
    openTools(1);
    QWidget *sub = m_frame->launcher().container(m_frame->launcher().openWindows().at(0));
    QCOMPARE(sub->windowIcon().cacheKey(), m_frame->windowIcon().cacheKey());
}

void TestToolboxFrame::windowMenuListsChildren()
{
    m_frame->open();
    openTools(3);
    QMdiArea *area = m_frame->mdiArea();
    const QList<QMdiSubWindow *> children = area->subWindowList(QMdiArea::CreationOrder);
    area->setActiveSubWindow(children.at(1));
    QMenu *menu = m_frame->windowMenu();
    emit menu->aboutToShow();
    QList<QAction *> actions = menu->actions();
    QCOMPARE(actions.size(), 3 + 1 + 3);
    QVERIFY(actions.at(3)->isSeparator());
    QCOMPARE(actions.at(4)->text(), u"&1 Http_syn"_s);
    QCOMPARE(actions.at(5)->text(), u"&2 MailShell"_s);
    QCOMPARE(actions.at(6)->text(), u"&3 DialUpcall"_s);
    QVERIFY(!actions.at(4)->isChecked());
    QVERIFY(actions.at(5)->isChecked());

    children.at(2)->showMinimized();
    actions.at(6)->trigger();
    QCOMPARE(area->activeSubWindow(), children.at(2));
    QVERIFY(!children.at(2)->isMinimized());

    // The list follows the windows: after a close it is built again.
    children.at(0)->close();
    emit menu->aboutToShow();
    actions = menu->actions();
    QCOMPARE(actions.size(), 3 + 1 + 2);
    QCOMPARE(actions.at(4)->text(), u"&1 MailShell"_s);
    QVERIFY(actions.at(5)->isChecked());
}

void TestToolboxFrame::editActsOnFocusedControl()
{
    m_frame->open();
    openTools(2);
    QApplication::setActiveWindow(m_frame.get());
    auto *first = static_cast<TestWindow *>(m_frame->launcher().openWindows().at(0));
    auto *second = static_cast<TestWindow *>(m_frame->launcher().openWindows().at(1));
    first->field()->setText(u"adresa"_s);
    first->field()->setFocus();
    first->field()->selectAll();
    QTRY_COMPARE(QApplication::focusWidget(), first->field());
    m_frame->action(MenuItem::Copy)->trigger();
    m_frame->action(MenuItem::Cut)->trigger();
    QCOMPARE(first->field()->text(), QString());
    second->field()->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), second->field());
    m_frame->action(MenuItem::Paste)->trigger();
    QCOMPARE(second->field()->text(), u"adresa"_s);
}

void TestToolboxFrame::tileCascadeAndArrangeIcons()
{
    m_frame->open();
    m_frame->resize(900, 650);
    openTools(3);
    QMdiArea *area = m_frame->mdiArea();
    const QList<QMdiSubWindow *> children = area->subWindowList(QMdiArea::CreationOrder);

    m_frame->action(MenuItem::Tile)->trigger();
    for (int i = 0; i < children.size(); ++i) {
        for (int j = i + 1; j < children.size(); ++j)
            QVERIFY(!children.at(i)->geometry().intersects(children.at(j)->geometry()));
    }

    m_frame->action(MenuItem::Cascade)->trigger();
    QVERIFY(children.at(0)->pos() != children.at(1)->pos());
    QVERIFY(children.at(1)->geometry().intersects(children.at(2)->geometry()));

    children.at(0)->showMinimized();
    children.at(2)->showMinimized();
    children.at(0)->move(300, 40);
    m_frame->action(MenuItem::ArrangeIcons)->trigger();
    const int bottom = area->viewport()->height();
    QCOMPARE(children.at(0)->geometry().bottom() + 1, bottom);
    QCOMPARE(children.at(0)->x(), 0);
    QCOMPARE(children.at(2)->geometry().bottom() + 1, bottom);
    QCOMPARE(children.at(2)->x(), children.at(0)->width());
    QVERIFY(!children.at(1)->isMinimized());
}

void TestToolboxFrame::windowBeyondFrameCanBeScrolledTo()
{
    m_frame->open();
    openTools(1);
    QMdiArea *area = m_frame->mdiArea();
    QMdiSubWindow *child = area->subWindowList().at(0);
    QVERIFY(!area->horizontalScrollBar()->isVisible());
    QVERIFY(!area->verticalScrollBar()->isVisible());
    // Taller and wider than the frame's client area, as a tool window can be.
    child->resize(area->width() + 150, area->height() + 120);
    QTRY_VERIFY(area->verticalScrollBar()->isVisible());
    QVERIFY(area->horizontalScrollBar()->isVisible());
    area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
    area->horizontalScrollBar()->setValue(area->horizontalScrollBar()->maximum());
    QTRY_VERIFY(child->geometry().bottom() < area->viewport()->height());
    QVERIFY(child->geometry().right() < area->viewport()->width());
}

void TestToolboxFrame::accessibility()
{
    m_frame->open();
    openTools(1);
    m_frame->action(MenuItem::Ftp)->showStatusText(m_frame->menuBar());
    const QStringList faults = accessibilityFaults(m_frame.get());
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u", "_s)));
    for (QAction *bar : m_frame->menuBar()->actions()) {
        QMenu *menu = bar->menu();
        QVERIFY(menu);
        QVERIFY(!menu->accessibleName().isEmpty());
        for (QAction *action : menu->actions())
            QVERIFY(action->isSeparator() || !action->text().trimmed().isEmpty());
    }
    // Each zone reads as what it shows, and says what it is.
    QCOMPARE(m_frame->statusZone(1)->text(), u"Ftp client"_s);
    QStringList zoneDescriptions;
    for (int zone = 1; zone <= 4; ++zone)
        zoneDescriptions << m_frame->statusZone(zone)->accessibleDescription();
    QCOMPARE(
        zoneDescriptions, (QStringList { u"Opis izabrane stavke"_s, u"Prazno polje"_s, u"Datum"_s, u"Vrijeme"_s }));
    QVERIFY(!m_frame->mdiArea()->accessibleName().isEmpty());
}

void TestToolboxFrame::screenshot()
{
    m_frame->open();
    m_frame->resize(760, 480);
    openTools(2);
    m_frame->action(MenuItem::Tile)->trigger();
    m_frame->action(MenuItem::Ftp)->showStatusText(m_frame->menuBar());
    QVERIFY(m_frame->grab().save(u"/tmp/torvex-frame.png"_s));
}

QTEST_MAIN(TestToolboxFrame)
#include "tst_toolboxframe.moc"
