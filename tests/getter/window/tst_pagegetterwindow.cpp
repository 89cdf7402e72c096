#include "common/AccessibilityCheck.h"
#include "common/LighttpdPeer.h"
#include "common/PeerProcess.h"
#include "getter/ui/PageGetterTool.h"
#include "platform/ToolSettings.h"
#include "shell/ui/ToolLauncher.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// The Page getter's window as the frame opens it, in a working directory of its own.
class TestPageGetterWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QTemporaryDir m_work;
    LighttpdPeer m_http;
    QMdiArea *m_area = nullptr;
    ToolLauncher *m_launcher = nullptr;

    QWidget *open()
    {
        QSignalSpy opened(m_launcher, &ToolLauncher::windowOpened);
        m_launcher->launch(pageGetterTool(), {}, 0);
        if (opened.isEmpty() && !opened.wait(5000))
            return nullptr;
        return opened.first().first().value<QWidget *>();
    }

    static QLineEdit *entry(QWidget *window, const QString &name)
    {
        const auto edits = window->findChildren<QLineEdit *>();
        for (QLineEdit *edit : edits) {
            if (edit->accessibleName() == name)
                return edit;
        }
        return nullptr;
    }

    static QPushButton *button(QWidget *window, const QString &text)
    {
        const auto buttons = window->findChildren<QPushButton *>();
        for (QPushButton *candidate : buttons) {
            if (candidate->text() == text)
                return candidate;
        }
        return nullptr;
    }

    static QLabel *label(QWidget *window, const QString &description)
    {
        const auto labels = window->findChildren<QLabel *>();
        for (QLabel *candidate : labels) {
            if (candidate->accessibleDescription() == description)
                return candidate;
        }
        return nullptr;
    }

    void fill(QWidget *window, const QString &url, const QString &local)
    {
        QLineEdit *urlEntry = entry(window, u"URL:"_qs);
        QLineEdit *localEntry = entry(window, u"Lokal:"_qs);
        urlEntry->selectAll();
        QTest::keyClicks(urlEntry, url);
        localEntry->selectAll();
        QTest::keyClicks(localEntry, local);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid() && m_work.isValid());
        QVERIFY(QDir::setCurrent(m_work.path()));
        QFile file(m_root.filePath(QStringLiteral("stranica.htm")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("<html><body>") + QByteArray(300000, 'x') + "</body></html>");
        file.close();
        QVERIFY2(m_http.start(m_root.path()), qPrintable(m_http.errorText()));
        m_area = new QMdiArea;
        m_area->resize(700, 450);
        m_area->show();
        m_launcher = new ToolLauncher(m_area, nullptr);
    }

    void cleanupTestCase()
    {
        m_launcher->closeAll();
        delete m_launcher;
        delete m_area;
    }

    void opensWithTheDefaults()
    {
        QFile::remove(m_work.filePath(QStringLiteral("TORVEX.INI")));
        ToolSettings::resetSharedValues();
        QWidget *window = open();
        QVERIFY(window);
        QCOMPARE(window->windowTitle(), QStringLiteral("HTTP (sync.)"));
        QTRY_COMPARE(entry(window, u"URL:"_qs)->text(), QStringLiteral("http://127.0.0.1"));
        QCOMPARE(entry(window, u"Lokal:"_qs)->text(), QStringLiteral("Index.htm"));
        QLineEdit *proxy = entry(window, u"Proxy:"_qs);
        auto *useProxy = window->findChild<QCheckBox *>();
        QCOMPARE(useProxy->text(), QStringLiteral("Proxy:"));
        QVERIFY(!useProxy->isChecked());
        QVERIFY(!proxy->isEnabled());
        useProxy->click();
        QVERIFY(proxy->isEnabled());
        useProxy->click();
        QVERIFY(!proxy->isEnabled());
        QVERIFY(button(window, u"Start"_qs) && button(window, u"Prekid"_qs));
        // The keyboard walks the controls in their order: URL, local file, the
        // proxy check box and entry, "Start", "Prekid".
        useProxy->click();
        const QList<QWidget *> order { entry(window, u"URL:"_qs), entry(window, u"Lokal:"_qs), useProxy, proxy,
            button(window, u"Start"_qs), button(window, u"Prekid"_qs) };
        QWidget *at = order.first();
        for (qsizetype i = 1; i < order.size(); ++i) {
            do
                at = at->nextInFocusChain();
            while (!(at->focusPolicy() & Qt::TabFocus) || !at->isEnabled());
            QCOMPARE(at, order.at(i));
        }
        useProxy->click();
        QVERIFY2(accessibilityFaults(window).isEmpty(), qPrintable(accessibilityFaults(window).join(u", ")));
        QSignalSpy closed(m_launcher, &ToolLauncher::windowClosed);
        button(window, u"Prekid"_qs)->click();
        QTRY_COMPARE(closed.size(), 1);
        // Closing writes the keys, the disabled proxy's text included.
        QFile ini(m_work.filePath(QStringLiteral("TORVEX.INI")));
        QTRY_VERIFY(ini.exists());
        QVERIFY(ini.open(QIODevice::ReadOnly));
        const QByteArray text = ini.readAll();
        QVERIFY(text.contains("SHTTPproxy=localhost:8001"));
        QVERIFY(text.contains("SHTTPiproxy=0"));
    }

    void downloadsAndClosesAtTheEnd()
    {
        QWidget *window = open();
        QVERIFY(window);
        QTRY_VERIFY(!entry(window, u"URL:"_qs)->text().isEmpty());
        fill(window, m_http.baseUrl() + u"stranica.htm"_qs, u"stranica.htm"_qs);
        QSignalSpy closed(m_launcher, &ToolLauncher::windowClosed);
        QPushButton *start = button(window, u"Start"_qs);
        start->click();
        QVERIFY(!start->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(closed.size(), 1, 10000);
        QFile file(m_work.filePath(u"stranica.htm"_qs));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.size(), 300000 + 26);
    }

    // A screenshot in the middle of a transfer, as the user sees it.
    void showsItsProgress()
    {
        QWidget *window = open();
        QVERIFY(window);
        QTRY_VERIFY(!entry(window, u"URL:"_qs)->text().isEmpty());
        QMetaObject::invokeMethod(window, "showProgress", Q_ARG(qint64, 150000), Q_ARG(qint64, 150000),
            Q_ARG(QString, u"150000/150000"_qs), Q_ARG(QString, u"100%"_qs), Q_ARG(QString, u"1234.5k/s"_qs));
        QCOMPARE(label(window, u"Bajtovi"_qs)->text(), u"150000/150000"_qs);
        QCOMPARE(window->findChild<QProgressBar *>()->value(), 150000);
        m_launcher->container(window)->grab().save(QStringLiteral("/tmp/torvex-getter.png"));
        QSignalSpy closed(m_launcher, &ToolLauncher::windowClosed);
        button(window, u"Prekid"_qs)->click();
        QTRY_COMPARE(closed.size(), 1);
    }

    void aFailedWriteIsShownAndTheWindowCloses()
    {
        QVERIFY(QDir(m_work.path()).mkpath(u"mapa"_qs));
        QWidget *window = open();
        QVERIFY(window);
        QTRY_VERIFY(!entry(window, u"URL:"_qs)->text().isEmpty());
        fill(window, m_http.baseUrl() + u"stranica.htm"_qs, u"mapa"_qs);
        QSignalSpy closed(m_launcher, &ToolLauncher::windowClosed);
        button(window, u"Start"_qs)->click();
        QTRY_COMPARE_WITH_TIMEOUT(closed.size(), 1, 10000);
        QMessageBox *box = nullptr;
        QTRY_VERIFY((box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) || [&box] {
            for (QWidget *top : QApplication::topLevelWidgets())
                if ((box = qobject_cast<QMessageBox *>(top)) && box->isVisible())
                    return true;
            return false;
        }());
        QCOMPARE(box->text(), u"WriteFile failed"_qs);
        box->accept();
    }

    void anUnreachableUrlSaysWhyBeforeClosing()
    {
        QWidget *window = open();
        QVERIFY(window);
        QTRY_VERIFY(!entry(window, u"URL:"_qs)->text().isEmpty());
        fill(window, QStringLiteral("http://127.0.0.1:%1/").arg(PeerProcess::freePort()), u"x.htm"_qs);
        QSignalSpy closed(m_launcher, &ToolLauncher::windowClosed);
        button(window, u"Start"_qs)->click();
        QTRY_COMPARE(label(window, u"Status"_qs)->text(), u"Error: 12029 error_internet_cannot_connect"_qs);
        QCOMPARE(closed.size(), 0);
        m_launcher->container(window)->grab().save(QStringLiteral("/tmp/torvex-getter-error.png"));
        QTRY_COMPARE_WITH_TIMEOUT(closed.size(), 1, 5000);
    }
};

QTEST_MAIN(TestPageGetterWindow)
#include "tst_pagegetterwindow.moc"
