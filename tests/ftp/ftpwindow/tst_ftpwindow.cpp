#include "common/AccessibilityCheck.h"
#include "common/PyftpdlibPeer.h"
#include "ftp/FtpEngine.h"
#include "ftp/support/FtpTestTree.h"
#include "ftp/ui/FtpTool.h"
#include "ftp/ui/FtpWindow.h"
#include "platform/EngineThread.h"
#include "platform/ToolSettings.h"

#include <QAccessible>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include <utility>

namespace {

const QString User = QStringLiteral("ivo");
const QString Password = QStringLiteral("tajna");

// The tool as the frame starts it: its window here, its engine on its own thread.
struct RunningTool
{
    FtpWindow *window = nullptr;
    std::unique_ptr<EngineThread> thread;

    RunningTool()
    {
        ToolParts parts = FtpTool::descriptor().create({});
        window = qobject_cast<FtpWindow *>(parts.window);
        thread = std::make_unique<EngineThread>(std::move(parts.engine), FtpEngine::procedureName());
        window->show();
        thread->start();
    }
    ~RunningTool()
    {
        // A hang on the way out fails the test rather than stalling it.
        QVERIFY(thread->shutdown(std::chrono::seconds(10)));
        delete window;
    }
    int rowOf(const QString &shown) const
    {
        const auto found = window->list()->findItems(shown, Qt::MatchExactly, 0);
        return found.isEmpty() ? -1 : window->list()->indexOfTopLevelItem(found.first());
    }
    void login(const PyftpdlibPeer &peer)
    {
        QVERIFY(QTest::qWaitFor([this] { return window->isEnabled(); }, 5000));
        window->serverField()->setText(QStringLiteral("  ") + peer.address());
        window->userField()->setText(User);
        window->passwordField()->setText(Password);
        QTest::mouseClick(window->connectButton(), Qt::LeftButton);
    }
    void doubleClick(int row)
    {
        QTreeWidget *list = window->list();
        const QRect rect = list->visualItemRect(list->topLevelItem(row));
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
    }
};

void saveScreenshot(QWidget *widget, const QString &name)
{
    const QString shot = QDir::temp().filePath(name);
    QVERIFY(widget->grab().save(shot));
    qInfo("screenshot: %s", qPrintable(shot));
}

} // namespace

class TestFtpWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid() && m_work.isValid());
        QVERIFY(FtpTestTree::makeMain(m_root.path(), true));
        QVERIFY2(
            m_server.start(m_root.path(), { .user = User, .password = Password }), qPrintable(m_server.errorText()));
        // The tool keeps TORVEX.INI and its downloads in the working directory.
        QVERIFY(QDir::setCurrent(m_work.path()));
    }
    // Every test starts as the first opening: no Settings file, no values left by
    // an earlier window.
    void init()
    {
        QFile::remove(QDir::current().filePath(QStringLiteral("TORVEX.INI")));
        ToolSettings::resetSharedValues();
    }

    void descriptorIsSingleInstance()
    {
        const ToolDescriptor tool = FtpTool::descriptor();
        QCOMPARE(tool.procedureName, QStringLiteral("Itst"));
        QVERIFY(tool.singleInstance);
    }

    void everyControlIsThereAndNamed()
    {
        RunningTool tool;
        FtpWindow *window = tool.window;
        QVERIFY(!window->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(window->statusText(), QStringLiteral("Zazoved5 FTP Client by ZT99"), 5000);
        QVERIFY(window->isEnabled());
        QCOMPARE(window->windowTitle(), QStringLiteral("FTP"));
        QCOMPARE(window->serverField()->text(), QStringLiteral("ftp.gnu.org"));
        QCOMPARE(window->userField()->text(), QStringLiteral("Anonymous"));
        QCOMPARE(window->directoryField()->text(), QDir::currentPath() + u'/');
        QCOMPARE(window->serverField()->maxLength(), 127);
        QCOMPARE(window->userField()->maxLength(), 63);
        QCOMPARE(window->passwordField()->maxLength(), 63);
        QCOMPARE(window->directoryField()->maxLength(), 255);
        QCOMPARE(window->passwordField()->echoMode(), QLineEdit::Password);
        QCOMPARE(window->connectButton()->text(), QStringLiteral("Spoji se"));
        QCOMPARE(window->connectButton()->cursor().shape(), Qt::PointingHandCursor);
        QVERIFY(!window->connectButton()->icon().isNull());
        QCOMPARE(window->chooserButton()->toolTip(), QStringLiteral("Izbor direktorija"));
        QVERIFY(!window->chooserButton()->icon().isNull());
        QCOMPARE(window->list()->toolTip(), QStringLiteral("Desni klik za download"));
        QTreeWidgetItem *header = window->list()->headerItem();
        QCOMPARE(header->text(0), QStringLiteral("Server"));
        QCOMPARE(header->text(1), QStringLiteral("Datum"));
        QCOMPARE(header->text(2), QStringLiteral("Kb"));
        QCOMPARE(accessibilityFaults(window), QStringList());

        // The tab key goes through the controls in layout order.
        const QList<QWidget *> order { window->serverField(), window->userField(), window->passwordField(),
            window->connectButton(), window->directoryField(), window->chooserButton(), window->list() };
        QList<QWidget *> reached;
        QWidget *next = order.first();
        for (int step = 0; step < 100 && reached.size() < order.size(); ++step, next = next->nextInFocusChain()) {
            if (order.contains(next) && !reached.contains(next))
                reached.append(next);
        }
        QCOMPARE(reached, order);

        // A long status text is cut at the edge; it does not widen the window.
        const int narrowest = window->minimumSizeHint().width();
        window->showStatus(QString(300, u'x'));
        QCOMPARE(window->minimumSizeHint().width(), narrowest);
    }

    // The folder button opens a directory chooser titled "Izbor"; the chosen
    // directory, with its "/", becomes the download directory.
    void chooserSetsTheDownloadDirectory()
    {
        QTemporaryDir base;
        const QString chosen = QDir(base.path()).filePath(QStringLiteral("mapa & čž"));
        QVERIFY(QDir().mkpath(chosen));
        RunningTool tool;
        FtpWindow *window = tool.window;
        QVERIFY(QTest::qWaitFor([window] { return window->isEnabled(); }, 5000));
        QString title;
        bool directoriesOnly = false;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            answer.stop();
            title = dialog->windowTitle();
            directoriesOnly = dialog->fileMode() == QFileDialog::Directory;
            dialog->setDirectory(chosen);
            // accept() through QDialog, where it is public; the file dialog checks the choice.
            static_cast<QDialog *>(dialog)->accept();
        });
        answer.start(20);
        QTest::mouseClick(window->chooserButton(), Qt::LeftButton);
        QCOMPARE(title, QStringLiteral("Izbor"));
        QVERIFY(directoriesOnly);
        QCOMPARE(window->directoryField()->text(), chosen + u'/');

        tool.login(m_server);
        QTRY_COMPARE_WITH_TIMEOUT(window->list()->topLevelItemCount(), 6, 10000);
        std::unique_ptr<QMenu> menu(window->menuForRow(tool.rowOf(QStringLiteral("two.bin"))));
        // "&&" is how a menu shows one "&".
        QCOMPARE(menu->actions().first()->text(),
            QStringLiteral("Prebaci u ") + QString(chosen).replace(u'&', QStringLiteral("&&")) + u'/');
        menu->actions().first()->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(window->statusText(), QStringLiteral("two.bin  PREBAČEN"), 10000);
        QCOMPARE(FtpTestTree::fileDigest(QDir(chosen).filePath(QStringLiteral("two.bin"))),
            FtpTestTree::fileDigest(m_root.filePath(QStringLiteral("two.bin"))));
    }

    void listingBrowsingAndDownload()
    {
        QFile::remove(QDir::current().filePath(QStringLiteral("small.bin")));
        RunningTool tool;
        FtpWindow *window = tool.window;
        QTRY_COMPARE_WITH_TIMEOUT(window->statusText(), QStringLiteral("Zazoved5 FTP Client by ZT99"), 5000);
        tool.login(m_server);
        QTRY_COMPARE_WITH_TIMEOUT(window->list()->topLevelItemCount(), 6, 10000);
        QCOMPARE(window->windowTitle(), m_server.address());
        QCOMPARE(tool.rowOf(QStringLiteral("..")), -1);
        const int readme = tool.rowOf(QStringLiteral("readme.txt"));
        QVERIFY(readme >= 0);
        QTreeWidgetItem *small = window->list()->topLevelItem(tool.rowOf(QStringLiteral("small.bin")));
        QCOMPARE(small->text(2), QStringLiteral("1"));
        QCOMPARE(
            small->text(1), FtpTestTree::smallFileTime().toLocalTime().toString(QStringLiteral("yyyy.MM.dd HH:mm")));
        QVERIFY(!small->icon(0).isNull());

        window->resize(460, 420);
        saveScreenshot(window, QStringLiteral("torvex-ftp-window.png"));

        // Directories and ".." answer the right-click with the hint, files with the download.
        const int directory = tool.rowOf(QStringLiteral("sub dir"));
        std::unique_ptr<QMenu> hint(window->menuForRow(directory));
        QCOMPARE(hint->actions().size(), 1);
        QCOMPARE(hint->actions().first()->text(), QStringLiteral("~koristi lijevi dvoklik"));
        std::unique_ptr<QMenu> download(window->menuForRow(tool.rowOf(QStringLiteral("small.bin"))));
        QCOMPARE(download->actions().size(), 1);
        QCOMPARE(download->actions().first()->text(), QStringLiteral("Prebaci u ") + QDir::currentPath() + u'/');
        QVERIFY(!download->actions().first()->icon().isNull());
        download->actions().first()->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(window->statusText(), QStringLiteral("small.bin  PREBAČEN"), 10000);
        QCOMPARE(FtpTestTree::fileDigest(QDir::current().filePath(QStringLiteral("small.bin"))),
            FtpTestTree::fileDigest(m_root.filePath(QStringLiteral("small.bin"))));

        tool.doubleClick(directory);
        QTRY_COMPARE_WITH_TIMEOUT(window->list()->topLevelItemCount(), 4, 10000);
        QCOMPARE(window->list()->topLevelItem(0)->text(0), QStringLiteral(".."));
        std::unique_ptr<QMenu> up(window->menuForRow(0));
        QCOMPARE(up->actions().first()->text(), QStringLiteral("~koristi lijevi dvoklik"));
        QVERIFY(tool.rowOf(QStringLiteral("čćžšđ datoteka.txt")) > 0);
        QVERIFY(window->list()->topLevelItem(tool.rowOf(QStringLiteral("paket.zip")))->text(2) == u"4");

        // A right double-click is not a way in or up.
        const QRect upRect = window->list()->visualItemRect(window->list()->topLevelItem(0));
        QTest::mouseDClick(window->list()->viewport(), Qt::RightButton, {}, upRect.center());
        QTest::qWait(300);
        QCOMPARE(window->list()->topLevelItemCount(), 4);
        tool.doubleClick(0);
        QTRY_COMPARE_WITH_TIMEOUT(window->list()->topLevelItemCount(), 6, 10000);
        QCOMPARE(accessibilityFaults(window), QStringList());
    }

    // A rejected login shows ERROR and the code; the window goes on, and the
    // right password then lists the server.
    void wrongPasswordLeavesTheWindowUsable()
    {
        RunningTool tool;
        FtpWindow *window = tool.window;
        tool.login(m_server);
        QTRY_COMPARE_WITH_TIMEOUT(window->list()->topLevelItemCount(), 6, 10000);
        window->passwordField()->setText(QStringLiteral("kriva"));
        QTest::mouseClick(window->connectButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(window->statusText(), QStringLiteral("ERROR12015"), 10000);
        QVERIFY(window->isEnabled());
        // The earlier login's rows went with its session.
        QTRY_COMPARE_WITH_TIMEOUT(window->list()->topLevelItemCount(), 0, 5000);
        tool.login(m_server);
        QTRY_COMPARE_WITH_TIMEOUT(window->list()->topLevelItemCount(), 6, 10000);
        QCOMPARE(window->windowTitle(), m_server.address());
    }

    // The engine's thread does the transfer: the window's event loop keeps turning.
    void windowStaysResponsiveDuringABigDownload()
    {
        RunningTool tool;
        FtpWindow *window = tool.window;
        tool.login(m_server);
        QTRY_COMPARE_WITH_TIMEOUT(window->list()->topLevelItemCount(), 6, 10000);
        std::unique_ptr<QMenu> menu(window->menuForRow(tool.rowOf(QStringLiteral("big.bin"))));
        QElapsedTimer clock;
        qint64 last = 0;
        qint64 longestGap = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            longestGap = qMax(longestGap, clock.elapsed() - last);
            last = clock.elapsed();
        });
        // While it runs, a second download is not offered. Looked at when the
        // window has learnt that it runs (after the window's own slot), since
        // on loopback it may end before any poll would come round.
        bool secondOffered = true;
        bool runSeen = false;
        QObject::connect(static_cast<FtpEngine *>(tool.thread->engine()), &FtpEngine::transferringChanged, window,
            [&](bool transferring) {
                if (!transferring || std::exchange(runSeen, true))
                    return;
                secondOffered = std::unique_ptr<QMenu>(window->menuForRow(tool.rowOf(QStringLiteral("two.bin"))))
                                    ->actions()
                                    .first()
                                    ->isEnabled();
            },
            Qt::QueuedConnection);
        clock.start();
        ticker.start(5);
        menu->actions().first()->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(window->statusText(), QStringLiteral("big.bin  PREBAČEN"), 30000);
        ticker.stop();
        QVERIFY(runSeen);
        QVERIFY(!secondOffered);
        QVERIFY2(longestGap < 250, qPrintable(QString::number(longestGap)));
        QCOMPARE(FtpTestTree::fileDigest(QDir::current().filePath(QStringLiteral("big.bin"))),
            FtpTestTree::fileDigest(m_root.filePath(QStringLiteral("big.bin"))));
    }

    // A self-signed certificate is asked about in a box naming the server and
    // the certificate's SHA-256; "Da" logs in.
    void certificateQuestionInABox()
    {
        QTemporaryDir files;
        QString error;
        const QString certificate = files.filePath(QStringLiteral("cert.pem"));
        const QString key = files.filePath(QStringLiteral("key.pem"));
        QVERIFY2(PyftpdlibPeer::makeCertificate(certificate, key, &error), qPrintable(error));
        PyftpdlibPeer server;
        QVERIFY2(
            server.start(m_root.path(), { .user = User, .password = Password, .certificate = certificate, .key = key }),
            qPrintable(server.errorText()));
        RunningTool tool;
        FtpWindow *window = tool.window;
        tool.login(server);
        QTRY_VERIFY_WITH_TIMEOUT(window->certificateBox() && window->certificateBox()->isVisible(), 10000);
        QMessageBox *box = window->certificateBox();
        QCOMPARE(box->windowTitle(), QStringLiteral("Certifikat servera"));
        QVERIFY(box->text().contains(server.address()));
        QVERIFY(box->text().contains(
            QString::fromLatin1(FtpTestTree::certificateDigest(certificate).toHex(':').toUpper())));
        QCOMPARE(window->statusText(), QStringLiteral("nepoznat certifikat servera: čekam odgovor ..."));
        saveScreenshot(box, QStringLiteral("torvex-ftp-certificate.png"));
        QAbstractButton *yes = nullptr;
        for (QAbstractButton *button : box->buttons())
            yes = button->text() == u"Da" ? button : yes;
        QVERIFY(yes);
        QTest::mouseClick(yes, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(window->list()->topLevelItemCount(), 6, 10000);
        QVERIFY(!window->certificateBox());
    }

    // A running download shows its figures in the status line, whose accessible
    // name is what it shows; "Prekid" stops it.
    void runningDownloadShowsProgressAndStops()
    {
        QTemporaryDir root;
        QVERIFY(
            FtpTestTree::writeFile(root.filePath(QStringLiteral("spori.bin")), FtpTestTree::randomBytes(2048 * 1024)));
        PyftpdlibPeer server;
        QVERIFY2(server.start(root.path(), { .user = User, .password = Password, .throttle = 256 * 1024 }),
            qPrintable(server.errorText()));
        RunningTool tool;
        FtpWindow *window = tool.window;
        tool.login(server);
        QTRY_COMPARE_WITH_TIMEOUT(window->list()->topLevelItemCount(), 1, 10000);
        QVERIFY(!window->stopButton()->isEnabled());
        std::unique_ptr<QMenu> menu(window->menuForRow(0));
        menu->actions().first()->trigger();
        const QRegularExpression figures(QStringLiteral("^spori\\.bin  \\d+ / 2048 Kb  \\d+%  \\d+ k/s$"));
        QTRY_VERIFY_WITH_TIMEOUT(figures.match(window->statusText()).hasMatch(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!window->statusText().startsWith(QStringLiteral("spori.bin  0 /")), 3000);
        QVERIFY(window->stopButton()->isEnabled());
        QLabel *status = nullptr;
        for (QLabel *label : window->findChildren<QLabel *>())
            status = label->text() == window->statusText() ? label : status;
        QVERIFY(status);
        QCOMPARE(QAccessible::queryAccessibleInterface(status)->text(QAccessible::Name), status->text());
        saveScreenshot(window, QStringLiteral("torvex-ftp-progress.png"));
        QTest::mouseClick(window->stopButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(window->statusText(), QStringLiteral("spori.bin  PREKINUT"), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!window->stopButton()->isEnabled(), 5000);
        QCOMPARE(FtpTestTree::partials(QDir::currentPath(), QStringLiteral("spori.bin")).size(), 1);
        QCOMPARE(accessibilityFaults(window), QStringList());
    }

private:
    QTemporaryDir m_root;
    QTemporaryDir m_work;
    PyftpdlibPeer m_server;
};

QTEST_MAIN(TestFtpWindow)
#include "tst_ftpwindow.moc"
