#include "common/AccessibilityCheck.h"
#include "common/DesktopSession.h"
#include "common/FaultServerPeer.h"
#include "common/PeerProcess.h"
#include "common/PyftpdlibPeer.h"
#include "common/ScreenReader.h"
#include "ftp/ui/FtpWindow.h"
#include "platform/SettingsFile.h"
#include "platform/WindowPlacementStore.h"
#include "shell/ui/ToolLauncher.h"
#include "shell/ui/ToolboxFrame.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// A shown text and where it is on the screen, as a screen reader should find it.
struct ShownDisplay
{
    QPointer<QWidget> widget;
    QString window; // the caption of the window it belongs to
    QSet<QString> shown; // every text it showed while the screen reader read
};

QRect onScreen(const QWidget *widget)
{
    return { widget->mapToGlobal(QPoint(0, 0)), widget->size() };
}

QString shownNow(const QWidget *widget)
{
    if (auto *label = qobject_cast<const QLabel *>(widget))
        return shownText(label);
    return static_cast<const QLineEdit *>(widget)->text();
}

QString windowCaption(const QWidget *widget)
{
    for (const QWidget *up = widget; up; up = up->parentWidget()) {
        if (up->isWindow() || qobject_cast<const QMdiSubWindow *>(up))
            return up->windowTitle();
    }
    return {};
}

QPushButton *buttonIn(QWidget *window, const QString &text)
{
    const auto buttons = window->findChildren<QPushButton *>();
    for (QPushButton *button : buttons) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

} // namespace

// The real frame with the real tools, on an X desktop with the accessibility
// bus, each tool busy (mid-download, mid-crawl, a served request, a listing):
// a screen reader walks every window and reads, for every label and every
// read-only field a person sees, what that person sees.
class TestAccessibilityWalk : public QObject
{
    Q_OBJECT

public:
    explicit TestAccessibilityWalk(const DesktopSession &desktop)
        : m_desktop(desktop)
    { }

private:
    const DesktopSession &m_desktop;
    QTemporaryDir m_work;
    QTemporaryDir m_served;
    QTemporaryDir m_ftpRoot;
    FaultServerPeer m_faults;
    PyftpdlibPeer m_ftp;
    quint16 m_serverPort = 0;
    ScreenReader m_reader;
    std::unique_ptr<WindowPlacementStore> m_store;
    std::unique_ptr<ToolboxFrame> m_frame;

    QWidget *openTool(MenuItem item)
    {
        QSignalSpy opened(&m_frame->launcher(), &ToolLauncher::windowOpened);
        m_frame->action(item)->trigger();
        if (opened.isEmpty() && !opened.wait(5000))
            return nullptr;
        return opened.first().first().value<QWidget *>();
    }

    void writeSettings()
    {
        SettingsFile file(m_work.filePath(u"TORVEX.INI"_s));
        const QList<QPair<QString, QString>> keys { { u"HTTPurl"_s, m_faults.url(u"/links/2"_s) },
            { u"Slike"_s, u"1"_s }, { u"IEPrew"_s, u"1"_s }, { u"SHTTPurl"_s, m_faults.url(u"/slow/20000000/20000"_s) },
            { u"SHTTPlf"_s, u"veliki.bin"_s }, { u"WShttpPath"_s, m_served.path() + u'/' },
            { u"WShttpStr"_s, u"default.htm"_s }, { u"WShttpDel"_s, u"0"_s }, { u"WShttpDir"_s, u"1"_s },
            { u"WShttpPort"_s, QString::number(m_serverPort) }, { u"FTPServer"_s, m_ftp.address() },
            { u"FTPUser"_s, u"Anonymous"_s }, { u"FTPTimeOut"_s, u"15000"_s }, { u"FTPPut"_s, m_work.path() },
            { u"FTPSound"_s, u"0"_s } };
        QVERIFY(file.writeMany(SettingsFile::toolSection(), keys));
    }

    // Every label and read-only field a person sees, in every window.
    QList<ShownDisplay> displays() const
    {
        QList<ShownDisplay> found;
        const auto windows = QApplication::topLevelWidgets();
        for (QWidget *window : windows) {
            if (!window->isVisible())
                continue;
            const auto widgets = window->findChildren<QWidget *>();
            for (QWidget *widget : widgets) {
                if (!widget->isVisible())
                    continue;
                auto *label = qobject_cast<QLabel *>(widget);
                auto *field = qobject_cast<QLineEdit *>(widget);
                if ((label && label->pixmap().isNull()) || (field && field->isReadOnly()))
                    found.append({ widget, windowCaption(widget), { shownNow(widget) } });
            }
        }
        return found;
    }

    // What the screen reader reads of each display; a display whose text changes
    // while it reads may be read as any of the texts it showed meanwhile.
    QStringList readAndCompare(QHash<QString, QString> *readByDescription, QSet<QString> *windowsRead)
    {
        QList<ShownDisplay> shown = displays();
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&shown] {
            for (ShownDisplay &display : shown) {
                if (display.widget)
                    display.shown.insert(shownNow(display.widget));
            }
        });
        watch.start(0);
        const QList<ScreenReader::Node> nodes = m_reader.tree(QCoreApplication::applicationPid());
        watch.stop();
        if (nodes.isEmpty())
            return { u"the screen reader read nothing: "_s + m_reader.errorText() };
        QStringList faults;
        QHash<QString, int> checkedPerWindow;
        for (const ShownDisplay &display : std::as_const(shown)) {
            if (!display.widget)
                continue;
            const bool isLabel = qobject_cast<QLabel *>(display.widget.data());
            const QRect where = onScreen(display.widget);
            const auto node = std::find_if(nodes.cbegin(), nodes.cend(), [&](const ScreenReader::Node &candidate) {
                return candidate.showing && candidate.extents == where
                    && (isLabel ? candidate.role == u"label"_s : candidate.hasText);
            });
            const QString what = display.window + u" / "_s
                + QLatin1StringView(display.widget->metaObject()->className()) + u" '"_s
                + display.widget->accessibleDescription() + u"'"_s;
            if (node == nodes.cend()) {
                faults << what + u": not on the accessibility bus"_s;
                continue;
            }
            const QString read = isLabel ? node->name : node->text;
            if (!display.shown.contains(read)) {
                faults << what + u": reads '"_s + read + u"', shows '"_s
                        + QStringList(display.shown.values()).join(u"' or '"_s) + u"'"_s;
            }
            if (!display.widget->accessibleDescription().isEmpty())
                readByDescription->insert(display.window + u'/' + display.widget->accessibleDescription(), read);
            ++checkedPerWindow[display.window];
        }
        for (auto it = checkedPerWindow.cbegin(); it != checkedPerWindow.cend(); ++it) {
            qInfo("%s: %d texts read as shown", qPrintable(it.key()), it.value());
            windowsRead->insert(it.key());
        }
        return faults;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_work.isValid() && m_served.isValid() && m_ftpRoot.isValid());
        QVERIFY(QDir::setCurrent(m_work.path()));
        QFile file(m_ftpRoot.filePath(u"veliki&mali.bin"_s));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(100000, 'x'));
        file.close();
        QVERIFY2(m_faults.start(), qPrintable(m_faults.errorText()));
        QVERIFY2(m_ftp.start(m_ftpRoot.path()), qPrintable(m_ftp.errorText()));
        m_serverPort = PeerProcess::freePort();
        writeSettings();
        QVERIFY2(m_reader.start(m_desktop.environment()), qPrintable(m_reader.errorText()));
        m_store = std::make_unique<WindowPlacementStore>(SettingsFile::standard());
        m_frame = std::make_unique<ToolboxFrame>(*m_store);
        m_frame->open();
        m_frame->resize(1260, 1000);
        QVERIFY(QTest::qWaitForWindowExposed(m_frame.get()));
        // The program is on the bus once the registry has taken it in.
        QVERIFY(
            QTest::qWaitFor([this] { return !m_reader.tree(QCoreApplication::applicationPid()).isEmpty(); }, 20000));
    }

    void cleanupTestCase()
    {
        m_frame.reset();
        m_store.reset();
        QDir::setCurrent(QDir::tempPath());
    }

    void everyWindowReadsWhatItShows()
    {
        for (MenuItem box : { MenuItem::UserName, MenuItem::Processor, MenuItem::Drives, MenuItem::ConnectionCheck })
            QVERIFY(openTool(box));
        QVERIFY(openTool(MenuItem::DialUp));
        QVERIFY(openTool(MenuItem::Mail));

        QWidget *server = openTool(MenuItem::HttpServer);
        QVERIFY(server);
        QWidget *ftp = openTool(MenuItem::Ftp);
        QVERIFY(ftp);
        QWidget *getter = openTool(MenuItem::PageGetter);
        QVERIFY(getter);
        QWidget *crawler = openTool(MenuItem::Crawler);
        QVERIFY(crawler);

        // A listing and a finished download in the FTP window.
        auto *ftpWindow = qobject_cast<FtpWindow *>(ftp);
        QVERIFY(ftpWindow);
        QTRY_VERIFY(ftpWindow->isEnabled());
        buttonIn(ftp, u"Spoji se"_s)->click();
        auto *list = ftp->findChild<QTreeWidget *>();
        QTRY_VERIFY_WITH_TIMEOUT(!list->findItems(u"veliki&mali.bin"_s, Qt::MatchExactly, 0).isEmpty(), 10000);
        const int row = list->indexOfTopLevelItem(list->findItems(u"veliki&mali.bin"_s, Qt::MatchExactly, 0).first());
        std::unique_ptr<QMenu> menu(ftpWindow->menuForRow(row));
        QVERIFY(menu && !menu->actions().isEmpty());
        menu->actions().constFirst()->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(ftpWindow->statusText(), u"veliki&mali.bin  PREBAČEN"_s, 10000);

        // A served request.
        QProcess curl;
        curl.start(u"curl"_s, { u"-s"_s, u"-o"_s, u"/dev/null"_s, u"http://127.0.0.1:%1/"_s.arg(m_serverPort) });
        QVERIFY(curl.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(curl.state() == QProcess::NotRunning, 10000);
        QCOMPARE(curl.exitCode(), 0);

        // Mid-download in the Page getter, mid-crawl with two busy workers.
        buttonIn(getter, u"Start"_s)->click();
        buttonIn(crawler, u"Start"_s)->click();
        QTRY_VERIFY_WITH_TIMEOUT(m_frame->launcher().openWindows().size() >= 12, 15000);
        m_frame->mdiArea()->tileSubWindows();
        QTest::qWait(1500);
        m_frame->grab().save(u"/tmp/torvex-walk.png"_s);

        QHash<QString, QString> first;
        QSet<QString> windows;
        const QStringList faults = readAndCompare(&first, &windows);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(u"\n"_s)));
        // Every box and tool window was read, the server's and the workers' too.
        // The FTP window's caption is the server it is connected to.
        for (const QString &caption : { u"Net + by Quorin"_s, u"User Name"_s, u"Cpu"_s, u"Diskovi"_s,
                 u"Internet veza"_s, m_ftp.address(), u"HTTP (sync.)"_s, u"HTTP"_s })
            QVERIFY2(windows.contains(caption), qPrintable(caption));
        QVERIFY2(windows.size() >= 11, qPrintable(QStringList(windows.values()).join(u", "_s)));

        // A clock tick and more of the download later, the changed texts read anew.
        QTest::qWait(1500);
        QHash<QString, QString> second;
        const QStringList laterFaults = readAndCompare(&second, &windows);
        QVERIFY2(laterFaults.isEmpty(), qPrintable(laterFaults.join(u"\n"_s)));
        for (const QString &changing : { u"Net + by Quorin/Vrijeme"_s, u"HTTP (sync.)/Bajtovi"_s }) {
            QVERIFY2(first.contains(changing) && second.contains(changing), qPrintable(changing));
            QVERIFY2(first.value(changing) != second.value(changing),
                qPrintable(changing + u": "_s + first.value(changing)));
        }
        // An "&" in a shown text is read as itself.
        QCOMPARE(second.value(m_ftp.address() + u"/Status"_s), u"veliki&mali.bin  PREBAČEN"_s);
    }
};

int main(int argc, char *argv[])
{
    DesktopSession desktop;
    if (!desktop.start()) {
        qCritical("no desktop: %s", qPrintable(desktop.errorText()));
        return 1;
    }
    desktop.apply();
    // Qt's bridge warns of each list row that was replaced while it was read.
    QLoggingCategory::setFilterRules(u"qt.accessibility.atspi.warning=false"_s);
    QApplication app(argc, argv);
    TestAccessibilityWalk test(desktop);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_accessibilitywalk.moc"
