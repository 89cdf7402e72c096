#include "platform/SettingsFile.h"
#include "platform/Windows1250.h"

#include <QtTest>

#include <sys/stat.h>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

const QString FileName = u"TORVEX.INI"_s;
const QString WriterArgument = u"--write-in-a-loop"_s;
const QString SingleWriteArgument = u"--write-once"_s;
constexpr int FillerKeys = 400;

void putFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

mode_t modeOf(const QString &path)
{
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

QString fillerValue(int i)
{
    return u"filler value number "_s + QString::number(i) + u" with some length to it"_s;
}

// The child side of the interrupted-write test: rewrites the file until killed.
int writeInALoop(const QString &path)
{
    SettingsFile settings(path);
    for (qint64 i = 0;; ++i)
        settings.write(u"Loop"_s, u"k"_s, u"new-"_s + QString::number(i));
}

} // namespace

class TestSettingsFile : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void read_data();
    void read();
    void write_data();
    void write();
    void caseInsensitiveFileName();
    void windows1250Table();
    void readNumber_data();
    void readNumber();
    void clipsNamesAndValues();
    void longStoredValueIsCut();
    void batchReadAndWrite();
    void newFileHasModeOwnerOnly();
    void existingFileKeepsItsMode();
    void writeThroughLinkKeepsLink();
    void writeFailureIsReported();
    void unusableNamesAreRefused();
    void twoThreadsLoseNoWrite();
    void interruptedWriteNeverShows();

private:
    QString path() const { return m_dir->filePath(FileName); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSettingsFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestSettingsFile::read_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    const QByteArray crlf = "; kept\r\n[Torvex Settings]\r\nHTTPurl=http://h/\r\nSlike=1\r\n\r\n[Main]\r\nXPos=10\r\n";
    QTest::newRow("crlf") << crlf << u"Torvex Settings"_s << u"HTTPurl"_s << u"http://h/"_s;
    QTest::newRow("crlf second section") << crlf << u"Main"_s << u"XPos"_s << u"10"_s;
    QTest::newRow("lf") << QByteArray("[A]\nk=lf value\nj=2\n") << u"A"_s << u"k"_s << u"lf value"_s;
    QTest::newRow("no final line end") << QByteArray("[A]\r\nk=v") << u"A"_s << u"k"_s << u"v"_s;
    QTest::newRow("section upper case") << crlf << u"TORVEX SETTINGS"_s << u"httpurl"_s << u"http://h/"_s;
    QTest::newRow("section lower case") << crlf << u"torvex settings"_s << u"HTTPURL"_s << u"http://h/"_s;
    QTest::newRow("names with trailing blanks") << crlf << u"Main  "_s << u"XPos \t"_s << u"10"_s;
    QTest::newRow("missing key") << crlf << u"Main"_s << u"YPos"_s << QString();
    QTest::newRow("missing section") << crlf << u"Itst"_s << u"XPos"_s << QString();
    QTest::newRow("key of another section") << crlf << u"Main"_s << u"Slike"_s << QString();
    QTest::newRow("empty file") << QByteArray() << u"A"_s << u"k"_s << QString();
    QTest::newRow("leading blanks kept") << QByteArray("[A]\r\nk=  two\r\n") << u"A"_s << u"k"_s << u"  two"_s;
    QTest::newRow("trailing blanks dropped") << QByteArray("[A]\r\nk=two  \t\r\n") << u"A"_s << u"k"_s << u"two"_s;
    QTest::newRow("blanks round the key") << QByteArray("[A]\r\n  k  =v\r\n") << u"A"_s << u"k"_s << u"v"_s;
    QTest::newRow("blanks in the brackets") << QByteArray("[ A ]\r\nk=v\r\n") << u"a"_s << u"k"_s << u"v"_s;
    QTest::newRow("equals in the value") << QByteArray("[A]\r\nk=a=b\r\n") << u"A"_s << u"k"_s << u"a=b"_s;
    QTest::newRow("empty value") << QByteArray("[A]\r\nk=\r\n") << u"A"_s << u"k"_s << QString();
    QTest::newRow("comment is no key") << QByteArray("[A]\r\n;k=1\r\n") << u"A"_s << u";k"_s << QString();
    QTest::newRow("first of two keys") << QByteArray("[A]\r\nk=1\r\nK=2\r\n") << u"A"_s << u"k"_s << u"1"_s;
    QTest::newRow("first of two sections")
        << QByteArray("[A]\r\nk=1\r\n[a]\r\nk=2\r\nj=3\r\n") << u"A"_s << u"j"_s << QString();
    QTest::newRow("key before any section") << QByteArray("k=1\r\n[A]\r\n") << u"A"_s << u"k"_s << QString();
    QTest::newRow("utf-8 letters") << QByteArray("[A]\r\nk=\xc4\x8d\xc4\x87\xc5\xbe\xc5\xa1\xc4\x91 "
                                                 "\xc4\x8c\xc4\x86\xc5\xbd\xc5\xa0\xc4\x90\r\n")
                                   << u"A"_s << u"k"_s << u"čćžšđ ČĆŽŠĐ"_s;
    QTest::newRow("utf-8 byte-order mark") << QByteArray("\xef\xbb\xbf[A]\r\nk=1\r\n") << u"A"_s << u"k"_s << u"1"_s;
    QTest::newRow("windows-1250 letters")
        << QByteArray("[A]\r\nk=\xe8\xe6\x9e\x9a\xf0 \xc8\xc6\x8e\x8a\xd0\r\n") << u"A"_s << u"k"_s << u"čćžšđ ČĆŽŠĐ"_s;
    QTest::newRow("utf-8 line beside a windows-1250 line")
        << QByteArray("[A]\r\nu=\xc4\x8d\xc5\xbe\r\nk=\xe8\x9e\r\n") << u"A"_s << u"u"_s << u"čž"_s;
    QTest::newRow("windows-1250 line beside a utf-8 line")
        << QByteArray("[A]\r\nu=\xc4\x8d\xc5\xbe\r\nk=\xe8\x9e\r\n") << u"A"_s << u"k"_s << u"čž"_s;
    QTest::newRow("windows-1250 section") << QByteArray("[Gra\xf0"
                                                        "evina]\r\nk=\x8a"
                                                        "uma\r\n")
                                          << u"GRAĐEVINA"_s << u"k"_s << u"Šuma"_s;
}

void TestSettingsFile::read()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    putFile(path(), content);
    QCOMPARE(SettingsFile(path()).read(section, key), expected);
}

void TestSettingsFile::write_data()
{
    QTest::addColumn<QByteArray>("before"); // empty: no file
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("new file") << QByteArray() << u"A"_s << u"k"_s << u"v"_s << QByteArray("[A]\r\nk=v\r\n");
    QTest::newRow("in place, all else kept")
        << QByteArray("; top\r\n[A]\r\nk1=old\r\n; note\r\n\r\nk2=v2\r\n\r\n[B]\r\nk1=b\r\n") << u"A"_s << u"k1"_s
        << u"new value"_s << QByteArray("; top\r\n[A]\r\nk1=new value\r\n; note\r\n\r\nk2=v2\r\n\r\n[B]\r\nk1=b\r\n");
    QTest::newRow("in place, other case")
        << QByteArray("[main]\r\nXPOS=1\r\n") << u"Main"_s << u"xpos"_s << u"2"_s << QByteArray("[main]\r\nXPOS=2\r\n");
    QTest::newRow("only the first of two keys")
        << QByteArray("[A]\r\nk=1\r\nk=2\r\n") << u"A"_s << u"k"_s << u"3"_s << QByteArray("[A]\r\nk=3\r\nk=2\r\n");
    QTest::newRow("in the first of two sections")
        << QByteArray("[A]\r\nk=1\r\n[B]\r\n[A]\r\nj=1\r\n") << u"A"_s << u"j"_s << u"2"_s
        << QByteArray("[A]\r\nk=1\r\nj=2\r\n[B]\r\n[A]\r\nj=1\r\n");
    QTest::newRow("blanks before the equals kept")
        << QByteArray("[A]\r\nk = old\r\n") << u"A"_s << u"k"_s << u"new"_s << QByteArray("[A]\r\nk =new\r\n");
    QTest::newRow("new key at the end of its section")
        << QByteArray("[A]\r\nk=1\r\n\r\n[B]\r\nx=1\r\n") << u"A"_s << u"n"_s << u"5"_s
        << QByteArray("[A]\r\nk=1\r\nn=5\r\n\r\n[B]\r\nx=1\r\n");
    QTest::newRow("new key in the last section") << QByteArray("[A]\r\nk=1\r\n[B]\r\nx=1\r\n") << u"B"_s << u"y"_s
                                                 << u"2"_s << QByteArray("[A]\r\nk=1\r\n[B]\r\nx=1\r\ny=2\r\n");
    QTest::newRow("new key in an empty section")
        << QByteArray("[A]\r\n\r\n[B]\r\n") << u"A"_s << u"k"_s << u"1"_s << QByteArray("[A]\r\nk=1\r\n\r\n[B]\r\n");
    QTest::newRow("new section at the end")
        << QByteArray("[A]\r\nk=1\r\n") << u"B"_s << u"x"_s << u"1"_s << QByteArray("[A]\r\nk=1\r\n\r\n[B]\r\nx=1\r\n");
    QTest::newRow("new section after a blank line") << QByteArray("[A]\r\nk=1\r\n\r\n") << u"B"_s << u"x"_s << u"1"_s
                                                    << QByteArray("[A]\r\nk=1\r\n\r\n[B]\r\nx=1\r\n");
    QTest::newRow("lf file written with crlf")
        << QByteArray("[A]\nk=1\n; c\n") << u"A"_s << u"k"_s << u"2"_s << QByteArray("[A]\r\nk=2\r\n; c\r\n");
    QTest::newRow("same value leaves the file as it was")
        << QByteArray("[A]\nk=1\n") << u"A"_s << u"k"_s << u"1"_s << QByteArray("[A]\nk=1\n");
    QTest::newRow("same value loses the stored trailing blanks")
        << QByteArray("[A]\nk=1  \t\n") << u"A"_s << u"k"_s << u"1"_s << QByteArray("[A]\r\nk=1\r\n");
    QTest::newRow("no final line end") << QByteArray("[A]\r\nk=1") << u"A"_s << u"j"_s << u"2"_s
                                       << QByteArray("[A]\r\nk=1\r\nj=2\r\n");
    QTest::newRow("trailing blanks not stored")
        << QByteArray() << u"A"_s << u"k"_s << u"abc  \t "_s << QByteArray("[A]\r\nk=abc\r\n");
    QTest::newRow("leading blanks stored")
        << QByteArray() << u"A"_s << u"k"_s << u"  abc"_s << QByteArray("[A]\r\nk=  abc\r\n");
    QTest::newRow("names clipped") << QByteArray() << u"A  "_s << u"k  "_s << u"v"_s << QByteArray("[A]\r\nk=v\r\n");
    QTest::newRow("empty value") << QByteArray("[A]\r\nk=1\r\n") << u"A"_s << u"k"_s << QString()
                                 << QByteArray("[A]\r\nk=\r\n");
    QTest::newRow("line breaks cannot add keys")
        << QByteArray() << u"A"_s << u"k"_s << u"a\r\nb=c\n[X]"_s << QByteArray("[A]\r\nk=a  b=c [X]\r\n");
    QTest::newRow("mixed lines each kept") << QByteArray("[A]\r\nu=\xc4\x8d\r\nk=\xe8\r\n") << u"A"_s << u"j"_s
                                           << u"š"_s << QByteArray("[A]\r\nu=\xc4\x8d\r\nk=\xc4\x8d\r\nj=\xc5\xa1\r\n");
    QTest::newRow("written as utf-8") << QByteArray("[A]\r\nk=\xe8\r\n") << u"A"_s << u"j"_s << u"Đ"_s
                                      << QByteArray("[A]\r\nk=\xc4\x8d\r\nj=\xc4\x90\r\n");
}

void TestSettingsFile::write()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, after);
    if (!before.isEmpty())
        putFile(path(), before);
    SettingsFile settings(path());
    QVERIFY(settings.write(section, key, value));
    QCOMPARE(fileBytes(path()), after);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList { FileName });
}

void TestSettingsFile::caseInsensitiveFileName()
{
    const QString lower = m_dir->filePath(u"torvex.ini"_s);
    putFile(lower, "[A]\r\nk=1\r\n");
    SettingsFile upper(path());
    QCOMPARE(upper.resolvedPath(), lower);
    QCOMPARE(upper.read(u"A"_s, u"k"_s), u"1"_s);
    SettingsFile mixed(m_dir->filePath(u"Torvex.INI"_s));
    QVERIFY(mixed.write(u"A"_s, u"j"_s, u"2"_s));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList { u"torvex.ini"_s });
    QCOMPARE(fileBytes(lower), QByteArray("[A]\r\nk=1\r\nj=2\r\n"));
    QCOMPARE(upper.read(u"a"_s, u"J"_s), u"2"_s);
}

void TestSettingsFile::windows1250Table()
{
    // Every defined byte of the upper half against the system's own converter.
    QByteArray upperHalf;
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        if (byte != 0x81 && byte != 0x83 && byte != 0x88 && byte != 0x90 && byte != 0x98)
            upperHalf.append(char(byte));
    }
    QProcess iconv;
    iconv.start(u"iconv"_s, { u"-f"_s, u"WINDOWS-1250"_s, u"-t"_s, u"UTF-8"_s });
    QVERIFY2(iconv.waitForStarted(), "iconv is needed as the reference converter");
    iconv.write(upperHalf);
    iconv.closeWriteChannel();
    QVERIFY(iconv.waitForFinished());
    QCOMPARE(iconv.exitCode(), 0);
    QCOMPARE(Windows1250::decode(upperHalf), QString::fromUtf8(iconv.readAllStandardOutput()));
    QCOMPARE(Windows1250::decode("\x81\x83\x88\x90\x98"), QString(5, QChar(0xFFFD)));
    QCOMPARE(Windows1250::decode("Plain ASCII 0-9"), u"Plain ASCII 0-9"_s);
}

void TestSettingsFile::readNumber_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("expected");
    QTest::newRow("number") << u"15000"_s << 15000;
    QTest::newRow("negative") << u"-5"_s << -5;
    QTest::newRow("plus sign") << u"+7"_s << 7;
    QTest::newRow("leading blanks") << u"  42"_s << 42;
    QTest::newRow("zero") << u"0"_s << 0;
    QTest::newRow("largest") << u"2147483647"_s << 2147483647;
    QTest::newRow("smallest") << u"-2147483648"_s << -2147483647 - 1;
    QTest::newRow("fraction") << u"3.7"_s << 3;
    QTest::newRow("not a number") << u"abc"_s << 0;
    QTest::newRow("digits then text") << u"12abc"_s << 0;
    QTest::newRow("beyond 32 bits") << u"99999999999"_s << 0;
    QTest::newRow("exponent") << u"1e3"_s << 0;
    QTest::newRow("infinity") << u"inf"_s << 0;
    QTest::newRow("empty") << QString() << 0;
}

void TestSettingsFile::readNumber()
{
    QFETCH(QString, stored);
    QFETCH(int, expected);
    SettingsFile settings(path());
    QVERIFY(settings.write(u"A"_s, u"n"_s, stored));
    QCOMPARE(settings.readNumber(u"A"_s, u"n"_s), expected);
    QCOMPARE(settings.readNumber(u"A"_s, u"missing"_s), 0);
}

void TestSettingsFile::clipsNamesAndValues()
{
    SettingsFile settings(path());
    const QString longKey = QString(63, u'k') + u"EXTRA"_s;
    const QString longSection = QString(63, u's') + u"MORE"_s;
    const QString longValue = QString(1023, u'v') + u"beyond"_s;
    QVERIFY(settings.write(longSection, longKey, longValue));
    QCOMPARE(fileBytes(path()),
        "[" + QByteArray(63, 's') + "]\r\n" + QByteArray(63, 'k') + "=" + QByteArray(1023, 'v') + "\r\n");
    QCOMPARE(settings.read(longSection, longKey), QString(1023, u'v'));
    QCOMPARE(settings.read(QString(63, u's'), QString(63, u'k')), QString(1023, u'v'));
    // A cut that ends in blanks leaves no trailing blank behind.
    QVERIFY(settings.write(u"A"_s, u"k"_s, QString(1020, u'x') + u"      tail"_s));
    QCOMPARE(settings.read(u"A"_s, u"k"_s), QString(1020, u'x'));
}

void TestSettingsFile::longStoredValueIsCut()
{
    putFile(path(), "[A]\r\nk=" + QByteArray(2000, 'z') + "\r\n");
    QCOMPARE(SettingsFile(path()).read(u"A"_s, u"k"_s), QString(1023, u'z'));
}

void TestSettingsFile::batchReadAndWrite()
{
    putFile(path(), "[A]\r\nb=old\r\n");
    SettingsFile settings(path());
    QVERIFY(settings.writeMany(u"A"_s, { { u"a"_s, u"1"_s }, { u"b"_s, u"2"_s }, { u"c"_s, u"3 "_s } }));
    QCOMPARE(fileBytes(path()), QByteArray("[A]\r\nb=2\r\na=1\r\nc=3\r\n"));
    QCOMPARE(settings.readMany(u"a"_s, { u"c"_s, u"missing"_s, u"A"_s }), (QStringList { u"3"_s, QString(), u"1"_s }));
    QVERIFY(settings.writeMany(u"B"_s, { { u"x"_s, u"1"_s }, { u"X"_s, u"2"_s }, { u"b"_s, u"3"_s } }));
    QCOMPARE(fileBytes(path()), QByteArray("[A]\r\nb=2\r\na=1\r\nc=3\r\n\r\n[B]\r\nx=2\r\nb=3\r\n"));
    QVERIFY(!settings.writeMany(u"A"_s, { { u"ok"_s, u"1"_s }, { u"bad=key"_s, u"2"_s } }));
    QCOMPARE(settings.read(u"A"_s, u"ok"_s), QString());
}

void TestSettingsFile::newFileHasModeOwnerOnly()
{
    SettingsFile settings(path());
    QVERIFY(settings.write(u"Torvex Settings"_s, u"FTPPassword"_s, u"secret"_s));
    QCOMPARE(modeOf(path()), mode_t(0600));
}

void TestSettingsFile::existingFileKeepsItsMode()
{
    putFile(path(), "[A]\r\nk=1\r\n");
    QVERIFY(::chmod(QFile::encodeName(path()).constData(), 0640) == 0);
    QVERIFY(SettingsFile(path()).write(u"A"_s, u"k"_s, u"2"_s));
    QCOMPARE(modeOf(path()), mode_t(0640));
}

void TestSettingsFile::writeThroughLinkKeepsLink()
{
    const QString target = m_dir->filePath(u"real.ini"_s);
    putFile(target, "[A]\r\nk=1\r\n");
    QVERIFY(QFile::link(target, path()));
    QVERIFY(SettingsFile(path()).write(u"A"_s, u"k"_s, u"2"_s));
    QVERIFY(QFileInfo(path()).isSymLink());
    QCOMPARE(fileBytes(target), QByteArray("[A]\r\nk=2\r\n"));
}

void TestSettingsFile::writeFailureIsReported()
{
    SettingsFile missingDirectory(m_dir->filePath(u"no such directory/TORVEX.INI"_s));
    QVERIFY(!missingDirectory.write(u"A"_s, u"k"_s, u"v"_s));
    QCOMPARE(missingDirectory.read(u"A"_s, u"k"_s), QString());

    // Something that cannot be read is not replaced by a file of one key.
    QVERIFY(QDir(m_dir->path()).mkdir(FileName));
    QVERIFY(!SettingsFile(path()).write(u"A"_s, u"k"_s, u"v"_s));
    QVERIFY(QFileInfo(path()).isDir());
    QVERIFY(QDir(m_dir->path()).rmdir(FileName));

    putFile(m_dir->filePath(u"plain"_s), "not a directory");
    QVERIFY(!SettingsFile(m_dir->filePath(u"plain/TORVEX.INI"_s)).write(u"A"_s, u"k"_s, u"v"_s));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList { u"plain"_s });
}

void TestSettingsFile::unusableNamesAreRefused()
{
    SettingsFile settings(path());
    QVERIFY(!settings.write(QString(), u"k"_s, u"v"_s));
    QVERIFY(!settings.write(u"A"_s, u"   "_s, u"v"_s));
    QVERIFY(!settings.write(u"A]B"_s, u"k"_s, u"v"_s));
    QVERIFY(!settings.write(u"A"_s, u"k=j"_s, u"v"_s));
    QVERIFY(!settings.write(u"A"_s, u"k\nj"_s, u"v"_s));
    QVERIFY(!settings.write(u"A"_s, u";k"_s, u"v"_s));
    QVERIFY(!QFileInfo::exists(path()));
}

void TestSettingsFile::twoThreadsLoseNoWrite()
{
    constexpr int Writes = 1000;
    SettingsFile settings(path());
    auto writer = [&settings](const QString &prefix, bool *ok) {
        for (int i = 0; i < Writes; ++i)
            *ok = settings.write(u"Threads"_s, prefix + QString::number(i), QString::number(i)) && *ok;
    };
    bool firstOk = true;
    bool secondOk = true;
    std::thread first(writer, u"first"_s, &firstOk);
    std::thread second(writer, u"second"_s, &secondOk);
    first.join();
    second.join();
    QVERIFY(firstOk && secondOk);
    QStringList keys;
    QStringList expected;
    for (int i = 0; i < Writes; ++i) {
        keys << u"first"_s + QString::number(i) << u"second"_s + QString::number(i);
        expected << QString::number(i) << QString::number(i);
    }
    QCOMPARE(settings.readMany(u"Threads"_s, keys), expected);
}

void TestSettingsFile::interruptedWriteNeverShows()
{
    QList<QPair<QString, QString>> filler;
    for (int i = 0; i < FillerKeys; ++i)
        filler.append({ u"f"_s + QString::number(i), fillerValue(i) });
    SettingsFile settings(path());
    QVERIFY(settings.writeMany(u"Filler"_s, filler));
    QVERIFY(settings.write(u"Loop"_s, u"k"_s, u"old"_s));

    QStringList fillerKeys;
    for (const auto &entry : filler)
        fillerKeys.append(entry.first);
    const QRegularExpression oldOrNew(u"^(old|new-\\d+)$"_s);
    for (int round = 0; round < 5; ++round) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), { WriterArgument, path() });
        QVERIFY(child.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(settings.read(u"Loop"_s, u"k"_s).startsWith(u"new-"), 10000);
        QTest::qWait(20 + 37 * round);
        child.kill();
        QVERIFY(child.waitForFinished());
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        QCOMPARE(QFileInfo(settings.resolvedPath()).fileName(), FileName);
        const QString value = settings.read(u"Loop"_s, u"k"_s);
        QVERIFY2(oldOrNew.match(value).hasMatch(), qPrintable(value));
        const QStringList values = settings.readMany(u"Filler"_s, fillerKeys);
        for (int i = 0; i < FillerKeys; ++i)
            QCOMPARE(values.at(i), fillerValue(i));
        QVERIFY(fileBytes(path()).endsWith(QByteArray("k=" + value.toUtf8() + "\r\n")));
    }

    // The next process to write sweeps away what the killed writers left.
    QProcess next;
    next.start(QCoreApplication::applicationFilePath(), { SingleWriteArgument, path() });
    QVERIFY(next.waitForFinished());
    QCOMPARE(next.exitCode(), 0);
    QCOMPARE(settings.read(u"Loop"_s, u"k"_s), u"last"_s);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList { FileName });
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && QString::fromLocal8Bit(argv[1]) == WriterArgument)
        return writeInALoop(QString::fromLocal8Bit(argv[2]));
    if (argc == 3 && QString::fromLocal8Bit(argv[1]) == SingleWriteArgument)
        return SettingsFile(QString::fromLocal8Bit(argv[2])).write(u"Loop"_s, u"k"_s, u"last"_s) ? 0 : 1;
    TestSettingsFile test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settingsfile.moc"
