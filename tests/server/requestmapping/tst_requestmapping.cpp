#include "server/OpenFiles.h"
#include "server/PathMapper.h"
#include "server/RequestLine.h"
#include "server/WalkCache.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

class TestRequestMapping : public QObject
{
    Q_OBJECT

private slots:
    void requestLines_data();
    void requestLines();
    void paths_data();
    void paths();
    void servedDirectoryMissing_data();
    void servedDirectoryMissing();
    void walksKeptUntilTheirWayChanges_data();
    void walksKeptUntilTheirWayChanges();
};

void TestRequestMapping::requestLines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("path");
    const int get = int(RequestLine::Kind::Get);
    const int notSupported = int(RequestLine::Kind::NotSupported);
    const int malformed = int(RequestLine::Kind::Malformed);
    QTest::newRow("plain") << QByteArray("GET / HTTP/1.0") << get << QByteArray("/");
    QTest::newRow("lower-cased") << QByteArray("GET /Sub/Index.HTM HTTP/1.1") << get << QByteArray("/sub/index.htm");
    QTest::newRow("leading blanks") << QByteArray("   get   /a.htm   http/1.0") << get << QByteArray("/a.htm");
    QTest::newRow("query and fragment") << QByteArray("GET /a.htm?x=1#y HTTP/1.0") << get << QByteArray("/a.htm");
    QTest::newRow("blank inside") << QByteArray("GET /a b.htm HTTP/1.0") << get << QByteArray("/a b.htm");
    QTest::newRow("escapes kept") << QByteArray("GET /%2E%2e HTTP/1.0") << get << QByteArray("/%2e%2e");
    QTest::newRow("http in the path") << QByteArray("GET /http/x.htm HTTP/1.0") << get << QByteArray("/http/x.htm");
    QTest::newRow("directory named http") << QByteArray("GET /a/http/ HTTP/1.0") << get << QByteArray("/a/http/");
    QTest::newRow("http/ glued to the path") << QByteArray("GET /ahttp/ HTTP/1.0") << get << QByteArray("/ahttp/");
    QTest::newRow("tab before protocol") << QByteArray("GET /x\tHTTP/1.0") << get << QByteArray("/x");
    QTest::newRow("post") << QByteArray("POST / HTTP/1.0") << notSupported << QByteArray();
    QTest::newRow("head") << QByteArray("HEAD / HTTP/1.0") << int(RequestLine::Kind::Head) << QByteArray("/");
    QTest::newRow("no protocol") << QByteArray("GET /") << malformed << QByteArray();
    QTest::newRow("no path") << QByteArray("GET HTTP/1.0") << malformed << QByteArray();
    QTest::newRow("empty") << QByteArray() << malformed << QByteArray();
    QTest::newRow("method glued") << QByteArray("GETX / HTTP/1.0") << notSupported << QByteArray();
    QTest::newRow("only a word") << QByteArray("hello") << malformed << QByteArray();
    QTest::newRow("control byte") << QByteArray("GET /a\x02 HTTP/1.0") << malformed << QByteArray();
    QTest::newRow("binary") << QByteArray("\xff\xfe\x01 / HTTP/1.0") << malformed << QByteArray();
}

void TestRequestMapping::requestLines()
{
    QFETCH(QByteArray, line);
    QFETCH(int, kind);
    QFETCH(QByteArray, path);
    const RequestLine parsed = RequestLine::parse(line);
    QCOMPARE(int(parsed.kind), kind);
    QCOMPARE(parsed.path, path);
}

void TestRequestMapping::paths_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("verdict");
    QTest::addColumn<QString>("local"); // relative to the served directory
    const int file = int(PathMapper::Verdict::File);
    const int directory = int(PathMapper::Verdict::Directory);
    const int missing = int(PathMapper::Verdict::Missing);
    const int forbidden = int(PathMapper::Verdict::Forbidden);
    const int malformed = int(PathMapper::Verdict::Malformed);
    QTest::newRow("root") << QByteArray("") << directory << QString();
    QTest::newRow("file with capitals") << QByteArray("docs/readme.txt") << file << QStringLiteral("Docs/ReadMe.TXT");
    QTest::newRow("exact name wins") << QByteArray("Same.txt") << file << QStringLiteral("Same.txt");
    QTest::newRow("directory with slash") << QByteArray("docs/") << directory << QStringLiteral("Docs/");
    QTest::newRow("escaped blank") << QByteArray("a%20b.txt") << file << QStringLiteral("a b.txt");
    QTest::newRow("missing below existing")
        << QByteArray("docs/nema.txt") << missing << QStringLiteral("Docs/nema.txt");
    QTest::newRow("dot segments skipped")
        << QByteArray("./docs/./readme.txt") << file << QStringLiteral("Docs/ReadMe.TXT");
    QTest::newRow("dot dot") << QByteArray("..") << forbidden << QString();
    QTest::newRow("dot dot inside") << QByteArray("docs/../../x") << forbidden << QString();
    QTest::newRow("escaped dot dot") << QByteArray("%2e%2E/x") << forbidden << QString();
    QTest::newRow("backslash dot dot") << QByteArray("docs\\..\\..\\x") << forbidden << QString();
    QTest::newRow("absolute") << QByteArray("/etc/passwd") << forbidden << QString();
    QTest::newRow("escaped absolute") << QByteArray("%2fetc%2fpasswd") << forbidden << QString();
    QTest::newRow("drive letter") << QByteArray("c:/windows") << forbidden << QString();
    QTest::newRow("link outside") << QByteArray("out/x") << forbidden << QString();
    QTest::newRow("link outside missing below") << QByteArray("out/nema/x") << forbidden << QString();
    QTest::newRow("link inside") << QByteArray("alias/readme.txt") << file << QStringLiteral("alias/ReadMe.TXT");
    QTest::newRow("link inside named in capitals")
        << QByteArray("ALIAS/readme.txt") << file << QStringLiteral("alias/ReadMe.TXT");
    QTest::newRow("link to a file outside") << QByteArray("tajna.txt") << forbidden << QString();
    QTest::newRow("link outside named in capitals") << QByteArray("OUT/x") << forbidden << QString();
    QTest::newRow("dangling link") << QByteArray("nigdje") << missing << QStringLiteral("nigdje");
    QTest::newRow("file taken for a directory") << QByteArray("same.txt/x") << missing << QStringLiteral("same.txt/x");
    QTest::newRow("fifo") << QByteArray("cijev") << forbidden << QString();
    QTest::newRow("nul") << QByteArray("a%00b") << malformed << QString();
}

void TestRequestMapping::paths()
{
    QFETCH(QByteArray, request);
    QFETCH(int, verdict);
    QFETCH(QString, local);
    QTemporaryDir parent;
    const QString root = parent.filePath(QStringLiteral("www/"));
    QDir().mkpath(root + QStringLiteral("Docs"));
    QDir().mkpath(parent.filePath(QStringLiteral("outside/nema")));
    for (const QString &name : { QStringLiteral("Docs/ReadMe.TXT"), QStringLiteral("Same.txt"),
             QStringLiteral("same.txt"), QStringLiteral("a b.txt") }) {
        QFile file(root + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(QFile::link(parent.filePath(QStringLiteral("outside")), root + QStringLiteral("out")));
    QVERIFY(QFile::link(root + QStringLiteral("Docs"), root + QStringLiteral("alias")));
    QFile secret(parent.filePath(QStringLiteral("outside/tajna.txt")));
    QVERIFY(secret.open(QIODevice::WriteOnly));
    QVERIFY(QFile::link(parent.filePath(QStringLiteral("outside/tajna.txt")), root + QStringLiteral("tajna.txt")));
    QVERIFY(QFile::link(parent.filePath(QStringLiteral("nema-ga")), root + QStringLiteral("nigdje")));
    QCOMPARE(::mkfifo(QFile::encodeName(root + QStringLiteral("cijev")).constData(), 0600), 0);

    const PathMapper::Result result = PathMapper(root).map(request);
    QCOMPARE(int(result.verdict), verdict);
    if (verdict != int(PathMapper::Verdict::Forbidden) && verdict != int(PathMapper::Verdict::Malformed))
        QCOMPARE(result.localPath, root + local);
}

void TestRequestMapping::servedDirectoryMissing_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("verdict");
    const int missing = int(PathMapper::Verdict::Missing);
    const int forbidden = int(PathMapper::Verdict::Forbidden);
    QTest::newRow("root") << QByteArray("") << missing;
    QTest::newRow("file") << QByteArray("default.htm") << missing;
    QTest::newRow("deeper") << QByteArray("a/b/c.txt") << missing;
    QTest::newRow("dot dot") << QByteArray("../x") << forbidden;
}

// Nothing is there to serve, so every target is missing, not refused.
void TestRequestMapping::servedDirectoryMissing()
{
    QFETCH(QByteArray, request);
    QFETCH(int, verdict);
    QTemporaryDir parent;
    const QString root = parent.filePath(QStringLiteral("nema/www/"));
    const PathMapper::Result result = PathMapper(root).map(request);
    QCOMPARE(int(result.verdict), verdict);
    if (verdict == int(PathMapper::Verdict::Missing))
        QCOMPARE(result.localPath, root + QString::fromUtf8(request));
}

void TestRequestMapping::walksKeptUntilTheirWayChanges_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("kept");
    QTest::newRow("nothing") << QStringLiteral("nothing") << true;
    QTest::newRow("another file beside it written") << QStringLiteral("beside") << true;
    QTest::newRow("an entry made beside the served directory") << QStringLiteral("parent") << true;
    QTest::newRow("reached through a link") << QStringLiteral("link") << false;
    QTest::newRow("written") << QStringLiteral("write") << false;
    QTest::newRow("written through another name") << QStringLiteral("other name") << false;
    QTest::newRow("given another time") << QStringLiteral("time") << false;
    QTest::newRow("replaced by another") << QStringLiteral("replace") << false;
    QTest::newRow("removed") << QStringLiteral("remove") << false;
    QTest::newRow("its exact name made beside it") << QStringLiteral("exact") << false;
    QTest::newRow("its directory renamed") << QStringLiteral("directory") << false;
    QTest::newRow("its directory given other rights") << QStringLiteral("rights") << false;
    QTest::newRow("the served directory renamed") << QStringLiteral("root") << false;
}

// A walk is kept while nothing on its way changes, and forgotten, once the
// changes are taken in, after any change that could alter what it found.
void TestRequestMapping::walksKeptUntilTheirWayChanges()
{
    QFETCH(QString, change);
    QFETCH(bool, kept);
    QTemporaryDir parent;
    const QString root = parent.filePath(QStringLiteral("www/"));
    const QString file = root + QStringLiteral("sub/F.txt");
    const auto write = [](const QString &path, const QByteArray &content) {
        QFile out(path);
        return out.open(QIODevice::WriteOnly) && out.write(content) == content.size();
    };
    QVERIFY(QDir().mkpath(root + QStringLiteral("sub")));
    QVERIFY(write(file, "staro") && write(root + QStringLiteral("sub/drugi.txt"), "drugi"));
    QVERIFY(QFile::link(root + QStringLiteral("sub"), root + QStringLiteral("veza")));
    QCOMPARE(::link(QFile::encodeName(file).constData(),
                 QFile::encodeName(parent.filePath(QStringLiteral("ime"))).constData()),
        0);

    const PathMapper mapper(root);
    OpenFiles files;
    WalkCache walks(mapper);
    const QByteArray request = change == u"link" ? "veza/f.txt" : "sub/f.txt";
    const PathMapper::Result mapped = mapper.map(request);
    QCOMPARE(mapped.verdict, PathMapper::Verdict::File);
    walks.keep(request, mapped, files.open(mapped.localPath, mapped.stamp), "text/plain");
    walks.catchUp();
    QCOMPARE(walks.find(request) != nullptr, change != u"link");

    if (change == u"beside") {
        QVERIFY(write(root + QStringLiteral("sub/drugi.txt"), "drugi, dulji"));
    } else if (change == u"parent") {
        QVERIFY(write(parent.filePath(QStringLiteral("pokraj.txt")), "pokraj"));
    } else if (change == u"write") {
        QVERIFY(write(file, "novo i dulje"));
    } else if (change == u"other name") {
        QVERIFY(write(parent.filePath(QStringLiteral("ime")), "drugim imenom"));
    } else if (change == u"time") {
        QFile touched(file);
        QVERIFY(touched.open(QIODevice::ReadWrite)
            && touched.setFileTime(
                QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6), Qt::UTC), QFileDevice::FileModificationTime));
    } else if (change == u"replace") {
        QVERIFY(write(root + QStringLiteral("sub/g.txt"), "druga"));
        QCOMPARE(::rename(QFile::encodeName(root + QStringLiteral("sub/g.txt")).constData(),
                     QFile::encodeName(file).constData()),
            0);
    } else if (change == u"remove") {
        QVERIFY(QFile::remove(file));
    } else if (change == u"exact") {
        QVERIFY(write(root + QStringLiteral("sub/f.txt"), "točno ime"));
    } else if (change == u"directory") {
        QVERIFY(QDir(root).rename(QStringLiteral("sub"), QStringLiteral("stari")));
    } else if (change == u"rights") {
        QVERIFY(QFile::setPermissions(root + QStringLiteral("sub"), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    } else if (change == u"root") {
        QVERIFY(QDir(parent.path()).rename(QStringLiteral("www"), QStringLiteral("stari")));
    }
    walks.catchUp();
    QCOMPARE(walks.find(request) != nullptr, kept);
}

QTEST_GUILESS_MAIN(TestRequestMapping)
#include "tst_requestmapping.moc"
