#include "common/AccessibilityCheck.h"
#include "common/FaultServerPeer.h"
#include "common/LighttpdPeer.h"
#include "crawler/DownloadWorkers.h"
#include "crawler/ui/DownloadWorkerTool.h"
#include "platform/SettingsFile.h"
#include "platform/WindowPlacementStore.h"
#include "shell/ui/ToolLauncher.h"

#include <QApplication>
#include <QImage>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// The workers' windows as the frame opens them, started the way the Crawler
// starts them: claim a free worker, then hand it its job.
class TestDownloadWorkerWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QTemporaryDir m_out;
    LighttpdPeer m_http;
    FaultServerPeer m_faults;
    QMdiArea *m_area = nullptr;
    ToolLauncher *m_launcher = nullptr;

    QString pictureUrl() const { return m_http.baseUrl() + QStringLiteral("slike/naslovna/velika-slika.png"); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid() && m_out.isValid());
        QVERIFY(QDir(m_root.path()).mkpath(QStringLiteral("slike/naslovna")));
        QImage picture(240, 160, QImage::Format_RGB32);
        picture.fill(QColor(30, 110, 200));
        for (int x = 0; x < 240; ++x)
            for (int y = 60; y < 100; ++y)
                picture.setPixelColor(x, y, QColor(240, 200, 40));
        QVERIFY(picture.save(m_root.filePath(QStringLiteral("slike/naslovna/velika-slika.png"))));
        QVERIFY2(m_http.start(m_root.path()), qPrintable(m_http.errorText()));
        QVERIFY2(m_faults.start(), qPrintable(m_faults.errorText()));
        m_area = new QMdiArea;
        m_area->resize(700, 450);
        m_area->show();
        m_launcher = new ToolLauncher(m_area, nullptr);
        ToolHost::setInstance(m_launcher);
    }

    void cleanupTestCase()
    {
        m_launcher->closeAll();
        ToolHost::setInstance(nullptr);
        delete m_launcher;
        delete m_area;
    }

    void aFinishedWorkerClosesAtOnce()
    {
        const DownloadWorkers::Claimed claimed = DownloadWorkers::claimFree();
        QCOMPARE(claimed.index, 0);
        QSignalSpy opened(m_launcher, &ToolLauncher::windowOpened);
        QSignalSpy closed(m_launcher, &ToolLauncher::windowClosed);
        const QString local = m_out.filePath(QStringLiteral("velika-slika.png"));
        ToolHostWorkerStarter().startWorker(claimed.index, { pictureUrl(), local, {}, false, claimed.claim });
        QTRY_COMPARE(opened.size(), 1);
        // Nothing holds the window once its file is closed: the mark is free for the next picture.
        QTRY_COMPARE_WITH_TIMEOUT(closed.size(), 1, 10000);
        QVERIFY(!DownloadWorkers::isRunning(0));
        QFile served(m_root.filePath(QStringLiteral("slike/naslovna/velika-slika.png")));
        QFile saved(local);
        QVERIFY(served.open(QIODevice::ReadOnly) && saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), served.readAll());
    }

    void aSecondStartRaisesTheOpenWindow()
    {
        QSignalSpy opened(m_launcher, &ToolLauncher::windowOpened);
        const DownloadJob job { m_faults.url(QStringLiteral("/silent")), m_out.filePath(QStringLiteral("s.bin")), {},
            false };
        DownloadJob first = job;
        first.claim = DownloadWorkers::claimFree().claim;
        QVERIFY(first.claim);
        ToolHostWorkerStarter().startWorker(0, first);
        QTRY_COMPARE(opened.size(), 1);
        QWidget *worker = opened.first().first().value<QWidget *>();
        QTRY_COMPARE(worker->toolTip(), job.url);
        QTRY_COMPARE(worker->windowTitle(), job.url);
        auto *abortButton = worker->findChild<QPushButton *>();
        QCOMPARE(abortButton->text(), QStringLiteral("Prekid"));
        QCOMPARE(abortButton->toolTip(), job.url);
        QVERIFY2(accessibilityFaults(worker).isEmpty(), qPrintable(accessibilityFaults(worker).join(u", ")));
        m_launcher->container(worker)->grab().save(QStringLiteral("/tmp/torvex-worker.png"));
        // Another worker takes the front.
        DownloadJob second = job;
        const DownloadWorkers::Claimed claimed = DownloadWorkers::claimFree();
        QCOMPARE(claimed.index, 1);
        second.claim = claimed.claim;
        ToolHostWorkerStarter().startWorker(1, second);
        QTRY_COMPARE(opened.size(), 2);
        QWidget *other = opened.at(1).first().value<QWidget *>();
        QTRY_COMPARE(m_area->activeSubWindow(), m_launcher->container(other));

        m_launcher->launch(downloadWorkerTool(0), downloadWorkerArguments(job), 0);
        QTRY_COMPARE(m_area->activeSubWindow(), m_launcher->container(worker));
        QTest::qWait(100);
        QCOMPARE(opened.size(), 2);
        QCOMPARE(m_launcher->openWindows().size(), 2);

        // "Prekid" until each window closes (four attempts; a press that comes
        // before the next attempt started is ignored) and frees its mark.
        for (QWidget *window : { worker, other }) {
            auto *abort = window->findChild<QPushButton *>();
            for (int press = 1; press <= 40 && m_launcher->openWindows().contains(window); ++press) {
                QTest::qWait(150);
                if (m_launcher->openWindows().contains(window))
                    abort->click();
            }
        }
        QTRY_VERIFY(m_launcher->openWindows().isEmpty());
        QTRY_VERIFY(!DownloadWorkers::isRunning(0) && !DownloadWorkers::isRunning(1));
    }

    // Each worker keeps its window's place in a section of its own, Http_asyA to
    // Http_asyD, and opens there again.
    void eachWorkerKeepsItsOwnPlacement()
    {
        QTemporaryDir work;
        const QString ini = work.filePath(QStringLiteral("TORVEX.INI"));
        WindowPlacementStore store { SettingsFile(ini) };
        QMdiArea area;
        area.resize(800, 600);
        area.show();
        ToolLauncher launcher(&area, &store);
        const DownloadJob job { m_faults.url(QStringLiteral("/silent")), m_out.filePath(QStringLiteral("p.bin")), {},
            false };
        QSignalSpy opened(&launcher, &ToolLauncher::windowOpened);
        const QList<int> workers { 0, 2 };
        QList<QPoint> places;
        for (int index : workers) {
            launcher.launch(downloadWorkerTool(index), downloadWorkerArguments(job), 0);
            QTRY_COMPARE(opened.size(), places.size() + 1);
            QWidget *frame = launcher.container(opened.last().first().value<QWidget *>());
            frame->move(40 + 200 * index, 30 + 100 * index);
            places << frame->pos();
        }
        launcher.closeAll();
        QTRY_VERIFY(!DownloadWorkers::isRunning(0) && !DownloadWorkers::isRunning(2));
        const SettingsFile file(ini);
        const QStringList keys { QStringLiteral("XPos"), QStringLiteral("YPos") };
        const QStringList a = file.readMany(QStringLiteral("Http_asyA"), keys);
        const QStringList c = file.readMany(QStringLiteral("Http_asyC"), keys);
        QVERIFY2(!a.first().isEmpty() && !c.first().isEmpty(), qPrintable(a.join(u',') + u';' + c.join(u',')));
        QVERIFY(a != c);
        QVERIFY(file.readMany(QStringLiteral("Http_asyB"), keys).first().isEmpty());

        // Worker C opens where it was left.
        launcher.launch(downloadWorkerTool(2), downloadWorkerArguments(job), 0);
        QTRY_COMPARE(opened.size(), 3);
        const QPoint again = launcher.container(opened.last().first().value<QWidget *>())->pos();
        QVERIFY2((again - places.at(1)).manhattanLength() <= 4,
            qPrintable(QStringLiteral("%1,%2").arg(again.x()).arg(again.y())));
        launcher.closeAll();
        QTRY_VERIFY(!DownloadWorkers::isRunning(2));
    }

    void aHiddenWorkerStaysOutOfSight()
    {
        QSignalSpy opened(m_launcher, &ToolLauncher::windowOpened);
        QSignalSpy closed(m_launcher, &ToolLauncher::windowClosed);
        const DownloadWorkers::Claimed claimed = DownloadWorkers::claimFree();
        QCOMPARE(claimed.index, 0);
        const QString local = m_out.filePath(QStringLiteral("skrivena.png"));
        ToolHostWorkerStarter().startWorker(
            0, { m_faults.url(QStringLiteral("/drip/5")), local, {}, true, claimed.claim });
        QTRY_COMPARE(opened.size(), 1);
        QWidget *window = opened.first().first().value<QWidget *>();
        QTRY_VERIFY(!m_launcher->container(window)->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(closed.size(), 1, 10000);
        QFile file(local);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.size(), 5);
    }
};

QTEST_MAIN(TestDownloadWorkerWindow)
#include "tst_downloadworkerwindow.moc"
