#include "common/AccessibilityCheck.h"
#include "platform/SettingsFile.h"
#include "platform/WindowPlacementStore.h"
#include "platform/system/FakeTree.h"
#include "platform/system/NetworkLink.h"
#include "shell/ConnectionCheckText.h"
#include "shell/DialUpEngine.h"
#include "shell/InfoBoxTexts.h"
#include "shell/ui/AuthorAddress.h"
#include "shell/ui/ConnectionCheckTool.h"
#include "shell/ui/DialUpTool.h"
#include "shell/ui/DialUpWindow.h"
#include "shell/ui/InfoBox.h"
#include "shell/ui/InfoBoxTools.h"
#include "shell/ui/MailLinkTool.h"
#include "shell/ui/MailLinkWindow.h"
#include "shell/ui/ToolLauncher.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMutex>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(ToolDescriptor)
Q_DECLARE_METATYPE(std::function<QString()>)

namespace {

// Receives the links the desktop would hand to the mail program.
class MailHandler : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl &url) { opened.append(url); }
};

// The dial commands an engine would have started, recorded on its thread.
struct DialLog
{
    QMutex mutex;
    QList<QStringList> commands;

    DialUpEngine::Starter starter()
    {
        return [this](const QString &program, const QStringList &arguments) {
            QMutexLocker lock(&mutex);
            commands.append(QStringList { program } + arguments);
            return true;
        };
    }
    QList<QStringList> taken()
    {
        QMutexLocker lock(&mutex);
        return commands;
    }
};

void saveShot(QWidget *widget, const QString &name)
{
    const QString path = u"/tmp/torvex-sysinfo-"_s + name + u".png"_s;
    QVERIFY2(widget->grab().save(path), qPrintable(path));
}

QString fakeDesktopDrives(const FakeTree &tree)
{
    tree.write(u"/proc/self/mounts"_s,
        "/dev/sda2 / ext4 rw 0 0\n"
        "proc /proc proc rw 0 0\n"
        "/dev/sda1 /boot/efi vfat rw 0 0\n"
        "/dev/sdb1 /media/ana/STICK vfat rw 0 0\n"
        "nas:/media /mnt/nas nfs4 rw 0 0\n"
        "/dev/sr0 /media/cdrom iso9660 ro 0 0\n"
        "tmpfs /tmp tmpfs rw 0 0\n"
        "/dev/sdc1 /mnt/old ext4 rw 0 0\n");
    for (const QString &point : { u"/boot/efi"_s, u"/media/ana/STICK"_s, u"/mnt/nas"_s, u"/media/cdrom"_s, u"/tmp"_s })
        tree.makeDirectory(point);
    tree.write(u"/sys/block/sdb/removable"_s, "1\n");
    tree.makeDirectory(u"/sys/block/sdb/sdb1"_s);
    tree.link(u"/dev/disk/by-label/EFI"_s, u"../../sda1"_s);
    tree.link(u"/dev/disk/by-label/STICK"_s, u"../../sdb1"_s);
    tree.link(u"/dev/disk/by-label/DEBIAN_12"_s, u"../../sr0"_s);
    return InfoBoxTexts::currentDrivesText(tree.root());
}

} // namespace

class TestSysinfoWindows : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void boxesOfThisComputer_data();
    void boxesOfThisComputer();
    void boxesFromPreparedTrees();
    void severalBoxesAtOnce();
    void dialUpWindow();
    void dialUpWithoutDefaultPeer();
    void dialUpKeepsItsPlacement();
    void mailLinkWindow();

private:
    QWidget *launch(const ToolDescriptor &tool);
    InfoBox *launchBox(const ToolDescriptor &tool);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<WindowPlacementStore> m_store;
    std::unique_ptr<QMainWindow> m_frame;
    QMdiArea *m_area = nullptr;
    std::unique_ptr<ToolLauncher> m_launcher;
};

void TestSysinfoWindows::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_store = std::make_unique<WindowPlacementStore>(SettingsFile(m_dir->filePath(u"TORVEX.INI"_s)));
    m_frame = std::make_unique<QMainWindow>();
    m_area = new QMdiArea;
    m_frame->setCentralWidget(m_area);
    m_frame->resize(640, 420);
    m_frame->show();
    m_launcher = std::make_unique<ToolLauncher>(m_area, m_store.get());
}

void TestSysinfoWindows::cleanup()
{
    m_launcher.reset();
    m_frame.reset();
    m_store.reset();
    m_dir.reset();
}

QWidget *TestSysinfoWindows::launch(const ToolDescriptor &tool)
{
    QSignalSpy opened(m_launcher.get(), &ToolLauncher::windowOpened);
    m_launcher->launch(tool, {}, 0);
    if (opened.isEmpty())
        return nullptr;
    return opened.first().first().value<QWidget *>();
}

InfoBox *TestSysinfoWindows::launchBox(const ToolDescriptor &tool)
{
    auto *box = qobject_cast<InfoBox *>(launch(tool));
    if (box) {
        // The text arrives from the engine's thread.
        (void)QTest::qWaitFor([box] { return !box->text().isEmpty(); }, 10000);
    }
    return box;
}

void TestSysinfoWindows::boxesOfThisComputer_data()
{
    QTest::addColumn<ToolDescriptor>("tool");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<std::function<QString()>>("expected");
    QTest::addColumn<QString>("shot");

    QTest::newRow("User name") << InfoBoxTools::userNameBox() << u"User Name"_s
                               << std::function<QString()>(&InfoBoxTexts::currentUserText) << u"user"_s;
    QTest::newRow("CPU") << InfoBoxTools::processorBox() << u"Cpu"_s
                         << std::function<QString()>(&InfoBoxTexts::currentProcessorText) << u"cpu"_s;
    QTest::newRow("Diskovi") << InfoBoxTools::drivesBox() << u"Diskovi"_s
                             << std::function<QString()>([] { return InfoBoxTexts::currentDrivesText(u"/"_s); })
                             << u"drives"_s;
    QTest::newRow("Internet veza") << ConnectionCheckTool::descriptor() << u"Internet veza"_s
                                   << std::function<QString()>(
                                          [] { return ConnectionCheckText::text(NetworkLink::read(u"/"_s)); })
                                   << u"connection"_s;
}

void TestSysinfoWindows::boxesOfThisComputer()
{
    QFETCH(ToolDescriptor, tool);
    QFETCH(QString, caption);
    QFETCH(std::function<QString()>, expected);
    QFETCH(QString, shot);

    QVERIFY(tool.topLevel);
    QVERIFY(tool.procedureName.isEmpty());
    InfoBox *box = launchBox(tool);
    QVERIFY(box);
    QPointer<InfoBox> guard(box);
    QCOMPARE(box->windowTitle(), caption);
    QVERIFY(box->isVisible());
    QVERIFY(!box->isModal());
    QCOMPARE(box->text(), InfoBox::displayedText(expected()));
    QCOMPARE(box->textFormat(), Qt::PlainText);
    QVERIFY(!box->iconPixmap().isNull());
    QCOMPARE(box->buttons().size(), 1);
    QCOMPARE(box->standardButton(box->buttons().first()), QMessageBox::Ok);
    QCOMPARE(accessibilityFaults(box), QStringList());
    saveShot(box, shot);

    // OK closes the box, and the box's tool ends with it.
    QTest::mouseClick(box->buttons().first(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!guard, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(m_launcher->openWindows().isEmpty(), 10000);
}

void TestSysinfoWindows::boxesFromPreparedTrees()
{
    FakeTree drives;
    const QString drivesText = fakeDesktopDrives(drives);
    InfoBox *drivesBox
        = launchBox(InfoBoxTools::messageBox(InfoBoxTexts::drivesCaption(), [drivesText] { return drivesText; }));
    QVERIFY(drivesBox);
    const QStringList lines = drivesBox->text().split(u'\n');
    QCOMPARE(lines.size(), 8);
    QVERIFY(lines.at(0).startsWith(u"/ Fixed  "_s));
    QVERIFY(lines.at(1).startsWith(u"/boot/efi Fixed EFI "_s));
    QVERIFY(lines.at(2).startsWith(u"/media/ana/STICK Removable STICK "_s));
    QVERIFY(lines.at(3).startsWith(u"/media/cdrom CDROM DEBIAN_12 "_s));
    QCOMPARE(lines.at(4), u"/mnt/nas Network  "_s + QString::number(MountedDrive::read(drives.root()).at(4).serial));
    QCOMPARE(lines.at(5), u"/mnt/old Not Know  0"_s);
    QVERIFY(lines.at(6).startsWith(u"/tmp Ramdisk  "_s));
    QCOMPARE(lines.at(7), QString());
    saveShot(drivesBox, u"drives-prepared"_s);

    const QByteArray routes = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
                              "eth0\t00000000\t0101A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n";
    const QList<QPair<QByteArray, QString>> links { { "up\n", u"on"_s }, { "down\n", u"off"_s } };
    for (const auto &[state, shot] : links) {
        FakeTree tree;
        tree.write(u"/proc/net/route"_s, routes);
        tree.write(u"/sys/class/net/eth0/operstate"_s, state);
        tree.write(u"/sys/class/net/eth0/speed"_s, "100\n");
        InfoBox *box = launchBox(InfoBoxTools::messageBox(ConnectionCheckText::caption(),
            [root = tree.root()] { return ConnectionCheckText::text(NetworkLink::read(root)); }));
        QVERIFY(box);
        const QString expected
            = shot == u"on"_s ? u"Status: ON Line\nLink Speed: 100000000 bps"_s : u"Status: OFF Line\n"_s;
        QCOMPARE(box->text(), expected);
        saveShot(box, u"connection-"_s + shot);
    }
}

void TestSysinfoWindows::severalBoxesAtOnce()
{
    QList<QPointer<InfoBox>> boxes;
    for (const ToolDescriptor &tool :
        { InfoBoxTools::userNameBox(), InfoBoxTools::userNameBox(), InfoBoxTools::processorBox() }) {
        boxes.append(launchBox(tool));
        QVERIFY(boxes.last());
    }
    QCOMPARE(m_launcher->openWindows().size(), 3);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    for (const QPointer<InfoBox> &box : std::as_const(boxes))
        QVERIFY(box->isVisible());
    // Closing one leaves the others open.
    boxes.first()->buttons().first()->click();
    QTRY_COMPARE_WITH_TIMEOUT(m_launcher->openWindows().size(), 2, 10000);
    QVERIFY(boxes.at(1) && boxes.at(1)->isVisible());
    QVERIFY(boxes.at(2) && boxes.at(2)->isVisible());
}

void TestSysinfoWindows::dialUpWindow()
{
    FakeTree tree;
    tree.write(u"/etc/ppp/peers/provider"_s, "\n");
    DialLog log;
    ToolDescriptor tool = DialUpTool::descriptor();
    QCOMPARE(tool.procedureName, u"DialUpcall"_s);
    QVERIFY(!tool.singleInstance);
    QVERIFY(!tool.topLevel);
    tool.create = [&](const QStringList &) {
        auto engine = std::make_unique<DialUpEngine>(tree.root(), log.starter());
        auto *window = new DialUpWindow;
        DialUpTool::connectParts(engine.get(), window);
        return ToolParts { std::move(engine), window };
    };
    auto *window = qobject_cast<DialUpWindow *>(launch(tool));
    QVERIFY(window);
    QTRY_COMPARE_WITH_TIMEOUT(window->connectionName(), u"provider"_s, 10000);
    QCOMPARE(window->windowTitle(), u"DialUp"_s);
    // 173 x 52 dialog units, and not resizable.
    const QFontMetrics metrics(window->font());
    QCOMPARE(window->width(), (173 * metrics.averageCharWidth() + 2) / 4);
    QCOMPARE(window->height(), (52 * metrics.height() + 4) / 8);
    QCOMPARE(window->minimumSize(), window->maximumSize());
    QVERIFY(!(m_launcher->container(window)->windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(accessibilityFaults(window), QStringList());
    auto *dial = window->findChild<QPushButton *>();
    QVERIFY(dial);
    QCOMPARE(dial->text(), u"Poziv"_s);
    saveShot(m_launcher->container(window), u"dialup"_s);

    auto *entry = window->findChild<QLineEdit *>();
    entry->setText(u"provider   "_s);
    QTest::mouseClick(dial, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(log.taken().size(), 1, 10000);
    QCOMPARE(log.taken().first(), (QStringList { u"pon"_s, u"provider"_s }));
    // The window stays open for another call.
    QVERIFY(window->isVisible());
    QTest::keyClick(entry, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(log.taken().size(), 2, 10000);
}

void TestSysinfoWindows::dialUpWithoutDefaultPeer()
{
    FakeTree tree;
    DialLog log;
    ToolDescriptor tool = DialUpTool::descriptor();
    QPointer<DialUpEngine> engineSeen;
    tool.create = [&](const QStringList &) {
        auto engine = std::make_unique<DialUpEngine>(tree.root(), log.starter());
        engineSeen = engine.get();
        auto *window = new DialUpWindow;
        DialUpTool::connectParts(engine.get(), window);
        return ToolParts { std::move(engine), window };
    };
    auto *window = qobject_cast<DialUpWindow *>(launch(tool));
    QVERIFY(window);
    // The engine has had its start: the name it loaded is there before the next call it gets.
    auto *dial = window->findChild<QPushButton *>();
    QTest::mouseClick(dial, Qt::LeftButton);
    window->findChild<QLineEdit *>()->setText(u"isp2"_s);
    QTest::mouseClick(dial, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(log.taken().size(), 1, 10000);
    // The empty field started nothing: the only call is the named one.
    QCOMPARE(log.taken().first(), (QStringList { u"pon"_s, u"isp2"_s }));
    window->findChild<QLineEdit *>()->clear();
    QCOMPARE(window->connectionName(), QString());
    saveShot(m_launcher->container(window), u"dialup-empty"_s);
}

void TestSysinfoWindows::dialUpKeepsItsPlacement()
{
    FakeTree tree;
    ToolDescriptor tool = DialUpTool::descriptor();
    tool.create = [&](const QStringList &) {
        auto engine
            = std::make_unique<DialUpEngine>(tree.root(), [](const QString &, const QStringList &) { return true; });
        auto *window = new DialUpWindow;
        DialUpTool::connectParts(engine.get(), window);
        return ToolParts { std::move(engine), window };
    };
    auto *window = launch(tool);
    QVERIFY(window);
    QWidget *container = m_launcher->container(window);
    container->move(120, 60);
    container->close();
    QTRY_VERIFY_WITH_TIMEOUT(m_launcher->openWindows().isEmpty(), 10000);
    const SettingsFile file(m_dir->filePath(u"TORVEX.INI"_s));
    QCOMPARE(file.read(u"DialUpcall"_s, u"Maximize"_s), u"No"_s);
    QVERIFY(!file.read(u"DialUpcall"_s, u"XPos"_s).isEmpty());
    // A window of fixed size keeps no size.
    QCOMPARE(file.read(u"DialUpcall"_s, u"Width"_s), QString());

    QWidget *again = launch(tool);
    QVERIFY(again);
    QCOMPARE(m_launcher->container(again)->pos(), QPoint(120, 60));
}

void TestSysinfoWindows::mailLinkWindow()
{
    MailHandler handler;
    QDesktopServices::setUrlHandler(u"mailto"_s, &handler, "open");
    const ToolDescriptor tool = MailLinkTool::descriptor();
    QCOMPARE(tool.procedureName, u"MailShell"_s);
    QVERIFY(!tool.singleInstance);
    auto *window = qobject_cast<MailLinkWindow *>(launch(tool));
    QVERIFY(window);
    QCOMPARE(window->windowTitle(), u"Link"_s);
    QCOMPARE(accessibilityFaults(window), QStringList());
    auto *button = window->findChild<QPushButton *>();
    QVERIFY(button);
    QCOMPARE(button->text(), authorAddress());
    QVERIFY(button->width() >= button->sizeHint().width());
    QVERIFY(window->rect().contains(button->geometry()));
    saveShot(m_launcher->container(window), u"mail"_s);

    QTest::mouseClick(button, Qt::LeftButton);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(
        handler.opened, (QList<QUrl> { QUrl(u"mailto:"_s + authorAddress()), QUrl(u"mailto:"_s + authorAddress()) }));
    QVERIFY(window->isVisible());

    // A second start opens a further window.
    QVERIFY(launch(tool));
    QCOMPARE(m_launcher->openWindows().size(), 2);
    QDesktopServices::unsetUrlHandler(u"mailto"_s);
}

QTEST_MAIN(TestSysinfoWindows)
#include "tst_sysinfowindows.moc"
