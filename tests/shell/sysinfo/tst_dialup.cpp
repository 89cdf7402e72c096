#include "platform/system/FakeTree.h"

#include "shell/DialUpCommand.h"
#include "shell/DialUpEngine.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

struct Started
{
    QString program;
    QStringList arguments;
};

} // namespace

class TestDialUp : public QObject
{
    Q_OBJECT

private slots:
    void command_data();
    void command();
    void defaultPeer_data();
    void defaultPeer();
    void dialStartsTheBuiltCommand_data();
    void dialStartsTheBuiltCommand();
    void missingDiallerLeavesTheEngineRunning();
};

void TestDialUp::command_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("plain") << u"provider"_s << QStringList { u"provider"_s };
    QTest::newRow("trailing blanks dropped") << u"provider   "_s << QStringList { u"provider"_s };
    QTest::newRow("inner blank stays one argument") << u"my isp "_s << QStringList { u"my isp"_s };
    QTest::newRow("leading blank kept") << u" isp"_s << QStringList { u" isp"_s };
    QTest::newRow("shell characters are no shell") << u"a;rm -rf ~"_s << QStringList { u"a;rm -rf ~"_s };
    QTest::newRow("empty") << QString() << QStringList();
    QTest::newRow("blanks only") << u"    "_s << QStringList();
}

void TestDialUp::command()
{
    QFETCH(QString, name);
    QFETCH(QStringList, arguments);
    const std::optional<DialUpCommand> built = DialUpCommand::forConnection(name);
    QCOMPARE(built.has_value(), !arguments.isEmpty());
    if (built) {
        QCOMPARE(built->program, u"pon"_s);
        QCOMPARE(built->arguments, arguments);
    }
}

void TestDialUp::defaultPeer_data()
{
    QTest::addColumn<bool>("configured");
    QTest::addColumn<QString>("name");
    QTest::newRow("provider configured") << true << u"provider"_s;
    QTest::newRow("no default peer") << false << QString();
}

void TestDialUp::defaultPeer()
{
    QFETCH(bool, configured);
    QFETCH(QString, name);
    FakeTree tree;
    tree.write(u"/etc/ppp/peers/isp2"_s, "\n");
    if (configured)
        tree.write(u"/etc/ppp/peers/provider"_s, "\n");
    DialUpEngine engine(tree.root(), [](const QString &, const QStringList &) { return true; });
    QSignalSpy loaded(&engine, &DialUpEngine::connectionNameLoaded);
    engine.start();
    QCOMPARE(loaded.size(), 1);
    QCOMPARE(loaded.first().first().toString(), name);
}

void TestDialUp::dialStartsTheBuiltCommand_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("name with trailing blanks") << u"provider  "_s << QStringList { u"provider"_s };
    QTest::newRow("empty field starts nothing") << QString() << QStringList();
    QTest::newRow("blank field starts nothing") << u"   "_s << QStringList();
}

void TestDialUp::dialStartsTheBuiltCommand()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, arguments);
    FakeTree tree;
    QList<Started> started;
    DialUpEngine engine(tree.root(), [&started](const QString &program, const QStringList &args) {
        started.append({ program, args });
        return true;
    });
    engine.start();
    engine.dial(typed);
    if (arguments.isEmpty()) {
        QVERIFY(started.isEmpty());
        return;
    }
    QCOMPARE(started.size(), 1);
    QCOMPARE(started.first().program, u"pon"_s);
    QCOMPARE(started.first().arguments, arguments);
    // The window stays open: dialling again starts the dialler again.
    engine.dial(typed);
    QCOMPARE(started.size(), 2);
}

void TestDialUp::missingDiallerLeavesTheEngineRunning()
{
    FakeTree tree;
    int attempts = 0;
    DialUpEngine engine(tree.root(), [&attempts](const QString &, const QStringList &) {
        ++attempts;
        return false;
    });
    QSignalSpy closing(&engine, &ToolEngine::closeRequested);
    engine.start();
    engine.dial(u"provider"_s);
    engine.dial(u"provider"_s);
    QCOMPARE(attempts, 2);
    QCOMPARE(closing.size(), 0);
}

QTEST_GUILESS_MAIN(TestDialUp)
#include "tst_dialup.moc"
