#include "common/AccessibilityCheck.h"
#include "common/PeerProcess.h"
#include "platform/EngineThread.h"
#include "platform/SettingsFile.h"
#include "server/ServerEngine.h"
#include "server/support/RunningServer.h"
#include "server/ui/ServerTool.h"
#include "server/ui/ServerWindow.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include <unistd.h>

namespace {

QString hostName()
{
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    return QString::fromLocal8Bit(host);
}

QStringList statusColumn(QTreeWidget *log)
{
    QStringList rows;
    for (int i = 0; i < log->topLevelItemCount(); ++i)
        rows.append(log->topLevelItem(i)->text(1));
    return rows;
}

QString promptOf(QWidget *window, QWidget *field)
{
    const auto labels = window->findChildren<QLabel *>();
    for (QLabel *label : labels) {
        if (label->buddy() == field)
            return label->text();
    }
    return {};
}

// The tool as the frame starts it, in a working directory of its own (the
// Settings file lies there), serving a temporary directory on a free port.
struct RunningTool
{
    QTemporaryDir work;
    QString previousDirectory = QDir::currentPath();
    QString served;
    int port = 0;
    ServerWindow *window = nullptr;
    std::unique_ptr<EngineThread> thread;

    RunningTool()
    {
        QDir::setCurrent(work.path());
        served = work.filePath(QStringLiteral("www/"));
        QDir().mkpath(served);
        port = PeerProcess::freePort();
        SettingsFile(QStringLiteral("TORVEX.INI"))
            .writeMany(SettingsFile::toolSection(),
                { { QStringLiteral("WShttpPath"), served },
                    { QStringLiteral("WShttpStr"), QStringLiteral("default.htm") },
                    { QStringLiteral("WShttpDel"), QStringLiteral("0") },
                    { QStringLiteral("WShttpDir"), QStringLiteral("1") },
                    { QStringLiteral("WShttpPort"), QString::number(port) } });
        ToolParts parts = ServerTool::descriptor().create({});
        window = qobject_cast<ServerWindow *>(parts.window);
        thread = std::make_unique<EngineThread>(std::move(parts.engine), ServerEngine::procedureName());
        window->resize(520, 460);
        window->show();
        thread->start();
    }
    ~RunningTool()
    {
        stop();
        delete window;
        QDir::setCurrent(previousDirectory);
    }
    void stop()
    {
        if (thread)
            QVERIFY(thread->shutdown(std::chrono::seconds(10)));
        thread.reset();
    }
    void write(const QString &relative, const QByteArray &content)
    {
        QFile file(served + relative);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
};

} // namespace

class TestServerWindow : public QObject
{
    Q_OBJECT

private slots:
    void controlsAndTexts();
    void requestsShowInLogAndCounters();
    void chooserPicksDirectory();
    void portFieldReopensListener();
    void logListFollowsClears();
    void keysAreWrittenAtClose();
};

void TestServerWindow::controlsAndTexts()
{
    RunningTool tool;
    ServerWindow *window = tool.window;
    QCOMPARE(window->windowTitle(), QStringLiteral("WSck server"));
    QTRY_COMPARE(window->windowTitle(), QStringLiteral("HTTP Server: ") + hostName());
    QTRY_COMPARE(window->portLabel()->text(), QStringLiteral("ws  Http Server - port %1").arg(tool.port));
    QCOMPARE(window->portField()->value(), tool.port);
    QCOMPARE(window->log()->headerItem()->text(0), QStringLiteral("vrijeme"));
    QCOMPARE(window->log()->headerItem()->text(1), QStringLiteral("status"));
    QCOMPARE(promptOf(window, window->directoryField()), QStringLiteral("Direktorij:"));
    QCOMPARE(promptOf(window, window->pageField()), QStringLiteral("Strana:"));
    QCOMPARE(promptOf(window, window->hitField()), QStringLiteral("Hit:"));
    QCOMPARE(promptOf(window, window->sentField()), QStringLiteral("Poslano:"));
    QCOMPARE(promptOf(window, window->delayField()), QStringLiteral("Kašnjenje ms"));
    QCOMPARE(window->listingBox()->text(), QStringLiteral("dozvoli pristup podacima na disku"));
    QTRY_COMPARE(window->directoryField()->text(), tool.served);
    QCOMPARE(window->pageField()->text(), QStringLiteral("default.htm"));
    QVERIFY(window->listingBox()->isChecked());
    QCOMPARE(window->delayField()->minimum(), 0);
    QCOMPARE(window->delayField()->maximum(), 2000);
    QCOMPARE(window->delayField()->singleStep(), 10);
    // Blank at zero: the delay, and both counters before any request.
    QCOMPARE(window->delayField()->text().trimmed(), QString());
    QCOMPARE(window->hitField()->text(), QString());
    QCOMPARE(window->sentField()->text(), QString());
    QVERIFY(window->hitField()->isReadOnly());
    QVERIFY(window->sentField()->isReadOnly());
    QTRY_VERIFY(statusColumn(window->log()).contains(QStringLiteral("waiting to accept()...")));
    const QStringList rows = statusColumn(window->log());
    QCOMPARE(rows.first(), QStringLiteral("Initializing..."));
    QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d$"))
                .match(window->log()->topLevelItem(0)->text(0))
                .hasMatch());
    QCOMPARE(accessibilityFaults(window), QStringList());
    QVERIFY(window->grab().save(QStringLiteral("/tmp/serverwindow.png")));

    const ToolDescriptor descriptor = ServerTool::descriptor();
    QCOMPARE(descriptor.procedureName, QStringLiteral("WS_http"));
    QVERIFY(descriptor.singleInstance);
}

void TestServerWindow::requestsShowInLogAndCounters()
{
    RunningTool tool;
    const QByteArray page = "<html>stranica</html>";
    tool.write(QStringLiteral("default.htm"), page);
    QTRY_VERIFY(statusColumn(tool.window->log()).contains(QStringLiteral("waiting to accept()...")));
    const ClientRun run = curl(QStringLiteral("http://127.0.0.1:%1/").arg(tool.port));
    QCOMPARE(bodyOf(run.output), page);
    QTRY_COMPARE(tool.window->hitField()->text(), QStringLiteral("1"));
    QTRY_COMPARE(tool.window->sentField()->text(), QString::number(page.size()));
    QTRY_VERIFY(statusColumn(tool.window->log()).contains(u"sent " + QString::number(page.size())));
    // Changing the delay in the window reaches the engine: two pieces, one pause between.
    tool.write(QStringLiteral("two.bin"), QByteArray(10241, 'x'));
    tool.window->delayField()->setValue(300);
    QTest::qWait(50);
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(bodyOf(curl(QStringLiteral("http://127.0.0.1:%1/two.bin").arg(tool.port)).output).size(), 10241);
    QVERIFY(clock.elapsed() >= 280);
    QTRY_COMPARE(tool.window->hitField()->text(), QStringLiteral("2"));
}

void TestServerWindow::chooserPicksDirectory()
{
    RunningTool tool;
    QTRY_COMPARE(tool.window->directoryField()->text(), tool.served);
    const QString other = tool.work.filePath(QStringLiteral("drugi"));
    QDir().mkpath(other);
    QFile file(other + QStringLiteral("/x.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("iz drugog");
    file.close();

    QTest::mouseClick(tool.window->chooserButton(), Qt::LeftButton);
    QFileDialog *dialog = tool.window->chooser();
    QVERIFY(dialog);
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Izbor"));
    QCOMPARE(dialog->fileMode(), QFileDialog::Directory);
    dialog->setDirectory(tool.work.path());
    dialog->selectFile(other);
    QMetaObject::invokeMethod(dialog, "accept");
    QCOMPARE(tool.window->directoryField()->text(), other + u'/');
    QTRY_COMPARE(
        bodyOf(curl(QStringLiteral("http://127.0.0.1:%1/x.txt").arg(tool.port)).output), QByteArray("iz drugog"));
}

void TestServerWindow::portFieldReopensListener()
{
    RunningTool tool;
    tool.write(QStringLiteral("default.htm"), "na novom portu");
    QTRY_VERIFY(statusColumn(tool.window->log()).contains(QStringLiteral("waiting to accept()...")));
    const int port = PeerProcess::freePort();
    tool.window->portField()->setValue(port);
    QTRY_COMPARE(tool.window->portLabel()->text(), QStringLiteral("ws  Http Server - port %1").arg(port));
    QTRY_COMPARE(statusColumn(tool.window->log()).count(QStringLiteral("waiting to accept()...")), 2);
    QCOMPARE(bodyOf(curl(QStringLiteral("http://127.0.0.1:%1/").arg(port)).output), QByteArray("na novom portu"));
}

void TestServerWindow::logListFollowsClears()
{
    ServerWindow window;
    ServerLogUpdate update;
    for (int i = 0; i < 5; ++i)
        update.rows.append({ QStringLiteral("08.12.2026 16:30:00"), QStringLiteral("row %1").arg(i) });
    update.hits = 7;
    window.showLog(update);
    QCOMPARE(window.log()->topLevelItemCount(), 5);
    QCOMPARE(window.hitField()->text(), QStringLiteral("7"));
    update.cleared = true;
    update.rows = { { QStringLiteral("08.12.2026 16:30:01"), QStringLiteral("after") } };
    window.showLog(update);
    QCOMPARE(statusColumn(window.log()), QStringList { QStringLiteral("after") });
}

void TestServerWindow::keysAreWrittenAtClose()
{
    RunningTool tool;
    QTRY_COMPARE(tool.window->directoryField()->text(), tool.served);
    tool.window->pageField()->setText(QStringLiteral("index.htm"));
    emit tool.window->pageField()->editingFinished();
    tool.window->listingBox()->setChecked(false);
    tool.window->delayField()->setValue(40);
    QTest::qWait(50);
    tool.stop();
    SettingsFile file(tool.work.filePath(QStringLiteral("TORVEX.INI")));
    const QStringList values = file.readMany(SettingsFile::toolSection(),
        { QStringLiteral("WShttpPath"), QStringLiteral("WShttpStr"), QStringLiteral("WShttpDel"),
            QStringLiteral("WShttpDir"), QStringLiteral("WShttpPort") });
    QCOMPARE(values,
        QStringList({ tool.served, QStringLiteral("index.htm"), QStringLiteral("40"), QStringLiteral("0"),
            QString::number(tool.port) }));
}

QTEST_MAIN(TestServerWindow)
#include "tst_serverwindow.moc"
