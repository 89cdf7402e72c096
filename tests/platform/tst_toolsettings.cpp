#include "platform/SettingKeys.h"
#include "platform/SettingsFile.h"
#include "platform/ToolSettings.h"

#include <QtTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(KeyKind)
Q_DECLARE_METATYPE(KeyScope)

namespace {

QStringList namesOf(std::span<const SettingKey> keys)
{
    QStringList names;
    for (const SettingKey &key : keys)
        names.append(QString::fromLatin1(key.name));
    return names;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestToolSettings : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void keyTable_data();
    void keyTable();
    void toolSpansInTableOrder();
    void firstKeyRule_data();
    void firstKeyRule();
    void capacityCuts_data();
    void capacityCuts();
    void flagsAndNumbersTakeTheNumericRule();
    void saveWritesEveryKeyInTableOrder();
    void saveClipsTrailingBlanks();
    void saveThenLoadRoundTrips();
    void overridesReplaceMachineDefaults();
    void processWideKeysAreShared();
    void laterWindowSeesWhatEarlierLeft();
    void perWindowKeysAreNotShared();

private:
    QString path() const { return m_dir->filePath(u"TORVEX.INI"_s); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestToolSettings::init()
{
    ToolSettings::resetSharedValues();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestToolSettings::keyTable_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<KeyKind>("kind");
    QTest::addColumn<int>("capacity");
    QTest::addColumn<KeyScope>("scope");
    QTest::addColumn<QString>("defaultValue");
    const KeyKind text = KeyKind::Text, flag = KeyKind::Flag, integer = KeyKind::Integer;
    const KeyScope window = KeyScope::PerWindow, process = KeyScope::ProcessWide;
    auto row = [](const char *name, KeyKind kind, int capacity, KeyScope scope, const QString &value) {
        QTest::newRow(name) << QString::fromLatin1(name) << kind << capacity << scope << value;
    };
    row("HTTPurl", text, 128, window, u"http://127.0.0.1"_s);
    row("HTTPproxy", text, 64, window, u"localhost:8001"_s);
    row("HTTPiproxy", flag, 0, window, u"0"_s);
    row("Slike", flag, 0, window, u"1"_s);
    row("IEPrew", flag, 0, process, u"1"_s);
    row("IEgazi", flag, 0, window, u"0"_s);
    row("SHTTPurl", text, 254, window, u"http://127.0.0.1"_s);
    row("SHTTPproxy", text, 63, process, u"localhost:8001"_s);
    row("SHTTPiproxy", flag, 0, window, u"0"_s);
    row("SHTTPlf", text, 254, window, u"Index.htm"_s);
    row("WShttpPath", text, 128, window, QString());
    row("WShttpStr", text, 128, window, u"default.htm"_s);
    row("WShttpDel", integer, 0, window, u"60"_s);
    row("WShttpDir", flag, 0, window, u"1"_s);
    row("WShttpPort", integer, 0, window, u"80"_s);
    row("FTPServer", text, 127, process, u"ftp.gnu.org"_s);
    row("FTPUser", text, 63, process, u"Anonymous"_s);
    row("FTPPassword", text, 63, process, QString());
    row("FTPTimeOut", integer, 0, process, u"15000"_s);
    row("FTPPut", text, 300, window, QString());
    row("FTPSound", flag, 0, process, u"1"_s);
    row("FTPCert", text, 1023, process, QString());
}

void TestToolSettings::keyTable()
{
    QFETCH(QString, name);
    QFETCH(KeyKind, kind);
    QFETCH(int, capacity);
    QFETCH(KeyScope, scope);
    QFETCH(QString, defaultValue);
    const SettingKey *key = SettingKeys::find(name.toLower());
    QVERIFY(key);
    QCOMPARE(QString::fromLatin1(key->name), name);
    QCOMPARE(key->kind, kind);
    QCOMPARE(key->capacity, capacity);
    QCOMPARE(key->scope, scope);
    QCOMPARE(QString::fromLatin1(key->defaultValue), defaultValue);
}

void TestToolSettings::toolSpansInTableOrder()
{
    QCOMPARE(namesOf(SettingKeys::crawler()),
        (QStringList {
            u"HTTPurl"_s, u"HTTPproxy"_s, u"HTTPiproxy"_s, u"Slike"_s, u"IEPrew"_s, u"IEgazi"_s, u"IElink"_s }));
    QCOMPARE(namesOf(SettingKeys::getter()),
        (QStringList { u"SHTTPurl"_s, u"SHTTPproxy"_s, u"SHTTPiproxy"_s, u"SHTTPlf"_s }));
    QCOMPARE(namesOf(SettingKeys::server()),
        (QStringList { u"WShttpPath"_s, u"WShttpStr"_s, u"WShttpDel"_s, u"WShttpDir"_s, u"WShttpPort"_s }));
    QCOMPARE(namesOf(SettingKeys::ftp()),
        (QStringList { u"FTPServer"_s, u"FTPUser"_s, u"FTPPassword"_s, u"FTPTimeOut"_s, u"FTPPut"_s, u"FTPSound"_s }));
    QCOMPARE(namesOf(SettingKeys::all()),
        namesOf(SettingKeys::crawler()) + namesOf(SettingKeys::getter()) + namesOf(SettingKeys::server())
            + namesOf(SettingKeys::ftp()) + QStringList { QString::fromLatin1(SettingKeys::ftpCertificates().name) });
    QVERIFY(!SettingKeys::find(u"Nothing"_s));
}

void TestToolSettings::firstKeyRule_data()
{
    QTest::addColumn<QByteArray>("content"); // the "Torvex Settings" lines
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("user");
    QTest::addColumn<int>("timeOut");
    QTest::addColumn<bool>("sound");

    QTest::newRow("no keys") << QByteArray() << false << u"ftp.gnu.org"_s << u"Anonymous"_s << 15000 << true;
    QTest::newRow("first key missing, others present") << QByteArray("FTPUser=joe\r\nFTPTimeOut=99\r\nFTPSound=0\r\n")
                                                       << false << u"ftp.gnu.org"_s << u"Anonymous"_s << 15000 << true;
    QTest::newRow("first key empty, others present") << QByteArray("FTPServer=\r\nFTPUser=joe\r\nFTPTimeOut=99\r\n")
                                                     << false << u"ftp.gnu.org"_s << u"Anonymous"_s << 15000 << true;
    QTest::newRow("first key blank") << QByteArray("FTPServer=   \r\nFTPUser=joe\r\n") << false << u"ftp.gnu.org"_s
                                     << u"Anonymous"_s << 15000 << true;
    QTest::newRow("all present") << QByteArray("FTPServer=h\r\nFTPUser=joe\r\nFTPTimeOut=99\r\nFTPSound=0\r\n") << true
                                 << u"h"_s << u"joe"_s << 99 << false;
    QTest::newRow("later keys missing") << QByteArray("FTPServer=h\r\n") << true << u"h"_s << QString() << 0 << false;
    QTest::newRow("time-out not a number")
        << QByteArray("ftpserver=h\r\nFTPTIMEOUT=soon\r\nFTPSound=1\r\n") << true << u"h"_s << QString() << 0 << true;
}

void TestToolSettings::firstKeyRule()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, loaded);
    QFETCH(QString, server);
    QFETCH(QString, user);
    QFETCH(int, timeOut);
    QFETCH(bool, sound);
    QFile file(path());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Torvex Settings]\r\n" + content);
    file.close();

    ToolSettings settings(SettingKeys::ftp());
    QCOMPARE(settings.load(SettingsFile(path())), loaded);
    QCOMPARE(settings.text("FTPServer"), server);
    QCOMPARE(settings.text("FTPUser"), user);
    QCOMPARE(settings.number("FTPTimeOut"), timeOut);
    QCOMPARE(settings.flag("FTPSound"), sound);
}

void TestToolSettings::capacityCuts_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("capacity");
    QTest::newRow("HTTPurl") << u"HTTPurl"_s << 128;
    QTest::newRow("HTTPproxy") << u"HTTPproxy"_s << 64;
    QTest::newRow("SHTTPproxy") << u"SHTTPproxy"_s << 63;
    QTest::newRow("SHTTPlf") << u"SHTTPlf"_s << 254;
    QTest::newRow("FTPServer") << u"FTPServer"_s << 127;
    QTest::newRow("FTPPut") << u"FTPPut"_s << 300;
}

void TestToolSettings::capacityCuts()
{
    QFETCH(QString, key);
    QFETCH(int, capacity);
    const SettingKey *entry = SettingKeys::find(key);
    QVERIFY(entry);
    std::span<const SettingKey> tool;
    for (auto keys : { SettingKeys::crawler(), SettingKeys::getter(), SettingKeys::server(), SettingKeys::ftp() }) {
        if (entry >= keys.data() && entry < keys.data() + keys.size())
            tool = keys;
    }
    const QString tooLong = QString(capacity, u'a') + u"bcdef"_s;

    const SettingName named = SettingName::of(*entry);
    ToolSettings set(tool);
    set.setText(named, tooLong);
    QCOMPARE(set.text(named), QString(capacity, u'a'));

    SettingsFile file(path());
    QVERIFY(file.write(SettingsFile::toolSection(), QString::fromLatin1(tool.front().name), u"first"_s));
    QVERIFY(file.write(SettingsFile::toolSection(), key, tooLong));
    ToolSettings loaded(tool);
    QVERIFY(loaded.load(file));
    QCOMPARE(loaded.text(named), QString(capacity, u'a'));
}

void TestToolSettings::flagsAndNumbersTakeTheNumericRule()
{
    SettingsFile file(path());
    QVERIFY(file.writeMany(SettingsFile::toolSection(),
        { { u"WShttpPath"_s, u"/srv/"_s }, { u"WShttpDel"_s, u"  25"_s }, { u"WShttpDir"_s, u"7"_s },
            { u"WShttpPort"_s, u"eighty"_s } }));
    ToolSettings settings(SettingKeys::server());
    QVERIFY(settings.load(file));
    QCOMPARE(settings.number("WShttpDel"), 25);
    QVERIFY(settings.flag("WShttpDir"));
    QCOMPARE(settings.number("WShttpDir"), 1);
    QCOMPARE(settings.number("WShttpPort"), 0);
    QCOMPARE(settings.text("WShttpStr"), QString());
    settings.setText("WShttpDel", u"x"_s);
    QCOMPARE(settings.number("WShttpDel"), 0);
    settings.setNumber("WShttpPort", 8080);
    QCOMPARE(settings.text("WShttpPort"), u"8080"_s);
}

void TestToolSettings::saveWritesEveryKeyInTableOrder()
{
    SettingsFile file(path());
    QVERIFY(file.write(u"Main"_s, u"XPos"_s, u"3"_s));
    const ToolSettings settings(SettingKeys::crawler());
    QVERIFY(settings.save(file));
    QCOMPARE(fileBytes(path()),
        QByteArray("[Main]\r\nXPos=3\r\n\r\n[Torvex Settings]\r\n"
                   "HTTPurl=http://127.0.0.1\r\nHTTPproxy=localhost:8001\r\n"
                   "HTTPiproxy=0\r\nSlike=1\r\nIEPrew=1\r\nIEgazi=0\r\nIElink=0\r\n"));
}

void TestToolSettings::saveClipsTrailingBlanks()
{
    ToolSettings settings(SettingKeys::getter());
    settings.setText("SHTTPurl", u"  http://h/p  "_s);
    settings.setFlag("SHTTPiproxy", true);
    SettingsFile file(path());
    QVERIFY(settings.save(file));
    QCOMPARE(file.read(SettingsFile::toolSection(), u"SHTTPurl"_s), u"  http://h/p"_s);
    QCOMPARE(file.read(SettingsFile::toolSection(), u"SHTTPiproxy"_s), u"1"_s);
}

void TestToolSettings::saveThenLoadRoundTrips()
{
    SettingsFile file(path());
    ToolSettings first(SettingKeys::ftp(), { { "FTPPut", u"/home/u/down"_s } });
    first.setText("FTPServer", u"ftp.example.org"_s);
    first.setText("FTPPassword", u"pa ss"_s);
    first.setNumber("FTPTimeOut", 500);
    first.setFlag("FTPSound", false);
    QVERIFY(first.save(file));

    ToolSettings::resetSharedValues();
    ToolSettings second(SettingKeys::ftp(), { { "FTPPut", u"/elsewhere"_s } });
    QVERIFY(second.load(file));
    QCOMPARE(second.text("FTPServer"), u"ftp.example.org"_s);
    QCOMPARE(second.text("FTPPassword"), u"pa ss"_s);
    QCOMPARE(second.number("FTPTimeOut"), 500);
    QVERIFY(!second.flag("FTPSound"));
    QCOMPARE(second.text("FTPPut"), u"/home/u/down"_s);
}

void TestToolSettings::overridesReplaceMachineDefaults()
{
    ToolSettings settings(SettingKeys::server(), { { "WShttpPath", u"/home/u/public_html/"_s } });
    QCOMPARE(settings.text("WShttpPath"), u"/home/u/public_html/"_s);
    QCOMPARE(settings.number("WShttpPort"), 80);
    SettingsFile file(path());
    QVERIFY(settings.save(file));
    QCOMPARE(file.read(SettingsFile::toolSection(), u"WShttpPath"_s), u"/home/u/public_html/"_s);
}

void TestToolSettings::processWideKeysAreShared()
{
    ToolSettings first(SettingKeys::ftp());
    ToolSettings second(SettingKeys::ftp());
    first.setText("FTPServer", u"one.example"_s);
    first.setNumber("FTPTimeOut", 42);
    QCOMPARE(second.text("FTPServer"), u"one.example"_s);
    QCOMPARE(second.number("FTPTimeOut"), 42);
    second.setText("FTPUser", u"ana"_s);
    QCOMPARE(first.text("FTPUser"), u"ana"_s);

    ToolSettings crawler(SettingKeys::crawler());
    ToolSettings otherCrawler(SettingKeys::crawler());
    crawler.setFlag("IEPrew", false);
    QVERIFY(!otherCrawler.flag("IEPrew"));

    ToolSettings::resetSharedValues();
    QCOMPARE(second.text("FTPServer"), u"ftp.gnu.org"_s);
    QVERIFY(crawler.flag("IEPrew"));
}

void TestToolSettings::laterWindowSeesWhatEarlierLeft()
{
    SettingsFile file(path());
    QVERIFY(file.writeMany(
        SettingsFile::toolSection(), { { u"SHTTPurl"_s, u"http://a/"_s }, { u"SHTTPproxy"_s, u"p:1"_s } }));
    ToolSettings first(SettingKeys::getter());
    QVERIFY(first.load(file));
    QVERIFY(file.write(SettingsFile::toolSection(), u"SHTTPurl"_s, QString()));
    ToolSettings later(SettingKeys::getter());
    QVERIFY(!later.load(file));
    QCOMPARE(later.text("SHTTPproxy"), u"p:1"_s);
    QCOMPARE(later.text("SHTTPurl"), u"http://127.0.0.1"_s);
}

void TestToolSettings::perWindowKeysAreNotShared()
{
    ToolSettings first(SettingKeys::ftp(), { { "FTPPut", u"/one"_s } });
    ToolSettings second(SettingKeys::ftp(), { { "FTPPut", u"/two"_s } });
    first.setText("FTPPut", u"/changed"_s);
    QCOMPARE(second.text("FTPPut"), u"/two"_s);
    ToolSettings crawler(SettingKeys::crawler());
    ToolSettings otherCrawler(SettingKeys::crawler());
    crawler.setText("HTTPurl", u"http://x/"_s);
    QCOMPARE(otherCrawler.text("HTTPurl"), u"http://127.0.0.1"_s);
}

QTEST_GUILESS_MAIN(TestToolSettings)
#include "tst_toolsettings.moc"
