#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

QString binaryPath()
{
    return qEnvironmentVariable("TORVEX_BINARY_DIR") + u"/src/torvex"_s;
}

// True once the process catches the signal: its handler is installed and
// the signal will go through the frame's close rather than end the process.
bool catchesSignal(qint64 pid, int signalNumber)
{
    QFile status(u"/proc/%1/status"_s.arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("SigCgt:"))
            return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (signalNumber - 1)) & 1;
    }
    return false;
}

QString fileText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class TestTorvexBinary : public QObject
{
    Q_OBJECT

private slots:
    void signalEndsProgramCleanly_data();
    void signalEndsProgramCleanly();
};

void TestTorvexBinary::signalEndsProgramCleanly_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestTorvexBinary::signalEndsProgramCleanly()
{
    QFETCH(int, signalNumber);
    QVERIFY2(QFile::exists(binaryPath()), qPrintable(binaryPath()));
    QTemporaryDir dir;
    QVERIFY(dir.isValid());

    QProcess torvex;
    torvex.setWorkingDirectory(dir.path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    torvex.setProcessEnvironment(environment);
    torvex.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    torvex.start(binaryPath(), {});
    QVERIFY(torvex.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(catchesSignal(torvex.processId(), signalNumber), 20000);

    QCOMPARE(::kill(pid_t(torvex.processId()), signalNumber), 0);
    QVERIFY(torvex.waitForFinished(20000));
    QCOMPARE(torvex.exitStatus(), QProcess::NormalExit);
    QCOMPARE(torvex.exitCode(), 0);

    const QString ini = fileText(dir.filePath(u"TORVEX.INI"_s));
    QVERIFY2(ini.contains(u"[Main]"_s), qPrintable(ini));
    QVERIFY2(ini.contains(u"Maximize=No"_s), qPrintable(ini));
    QVERIFY2(ini.contains(u"[__Dont_Touch_Me__]\r\nSectors=0"_s), qPrintable(ini));
}

QTEST_GUILESS_MAIN(TestTorvexBinary)
#include "tst_torvexbinary.moc"
