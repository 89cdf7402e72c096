#include "crawler/LocalFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

class TestLocalFiles : public QObject
{
    Q_OBJECT

private slots:
    void header_data();
    void header();
    void iconsAndFigures();
    void onlyChangedRowsAreLookedAt();
    void watchedRowsFollowAWriter();
    void deletedRowIsMarked();
    void oneRowPerPath();
};

namespace {

void writeFile(const QString &path, qint64 bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(bytes, 'x'));
}

} // namespace

void TestLocalFiles::header_data()
{
    QTest::addColumn<int>("pages");
    QTest::addColumn<int>("queued");
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("example") << 12 << 40 << qint64(356 * 1024 + 1023) << QStringLiteral("Poziv:12 [40]  Uk.:356 Kb");
    QTest::newRow("nothing") << 0 << 0 << qint64(0) << QStringLiteral("Poziv:0 [0]  Uk.:0 Kb");
    QTest::newRow("beyond 32 bits") << 5 << 7 << qint64(5) * 1024 * 1024 * 1024
                                    << QStringLiteral("Poziv:5 [7]  Uk.:5242880 Kb");
}

void TestLocalFiles::header()
{
    QFETCH(int, pages);
    QFETCH(int, queued);
    QFETCH(qint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(LocalFiles::header(pages, queued, bytes), text);
}

void TestLocalFiles::iconsAndFigures()
{
    QTemporaryDir dir;
    LocalFiles files;
    const int full = files.add(dir.filePath(QStringLiteral("full.htm")));
    const int empty = files.add(dir.filePath(QStringLiteral("empty.htm")));
    const int missing = files.add(dir.filePath(QStringLiteral("missing.htm")));
    writeFile(files.row(full).path, 5000);
    writeFile(files.row(empty).path, 0);
    QCOMPARE(files.row(full).icon, int(LocalFileRow::Queued));

    QCOMPARE(files.fetchPass(), (QList<int> { full, empty, missing }));
    QCOMPARE(files.row(full).icon, int(LocalFileRow::Present));
    QCOMPARE(files.row(empty).icon, int(LocalFileRow::Present));
    QCOMPARE(files.row(missing).icon, int(LocalFileRow::Listed));
    QCOMPARE(files.row(full).size, QStringLiteral("5.000"));
    QCOMPARE(files.row(empty).size, QStringLiteral("0"));
    QVERIFY(files.row(missing).size.isEmpty());
    const QString stamp = QFileInfo(files.row(full).path).lastModified().toString(u"dd.MM.yyyy hh:mm:ss");
    QCOMPARE(files.row(full).time, stamp);
    QCOMPARE(files.totalBytes(), 5000);

    files.endPass();
    QCOMPARE(files.row(full).icon, int(LocalFileRow::Listed));
    QCOMPARE(files.row(empty).icon, int(LocalFileRow::Empty));
    QCOMPARE(files.row(missing).icon, int(LocalFileRow::Missing));
    QCOMPARE(files.totalBytes(), 5000);
}

void TestLocalFiles::onlyChangedRowsAreLookedAt()
{
    QTemporaryDir dir;
    LocalFiles files;
    for (int i = 0; i < 50; ++i)
        files.add(dir.filePath(QStringLiteral("f%1.htm").arg(i)));
    files.fetchPass();
    writeFile(files.row(7).path, 10);
    // A file the program did not touch is left as it was shown ...
    writeFile(files.row(8).path, 20);
    files.touch(7);
    QCOMPARE(files.fetchPass(), QList<int> { 7 });
    QCOMPARE(files.fetchPass(), QList<int> {});
    QCOMPARE(files.totalBytes(), 10);
    // ... and the end of the crawl looks at every row.
    files.endPass();
    QCOMPARE(files.totalBytes(), 30);

    // The same figures as a fresh list looking at every row.
    LocalFiles fresh;
    for (int i = 0; i < 50; ++i)
        fresh.add(files.row(i).path);
    fresh.endPass();
    for (int i = 0; i < 50; ++i) {
        QCOMPARE(fresh.row(i).icon, files.row(i).icon);
        QCOMPARE(fresh.row(i).size, files.row(i).size);
    }
}

void TestLocalFiles::watchedRowsFollowAWriter()
{
    QTemporaryDir dir;
    LocalFiles files;
    const int row = files.add(dir.filePath(QStringLiteral("pic.gif")));
    files.fetchPass();
    files.watch(row);
    writeFile(files.row(row).path, 100);
    QCOMPARE(files.fetchPass(), QList<int> { row });
    writeFile(files.row(row).path, 4097);
    QCOMPARE(files.fetchPass(), QList<int> { row });
    QCOMPARE(files.totalBytes(), 4097);
    files.unwatch(row);
    QCOMPARE(files.fetchPass(), QList<int> {});
}

void TestLocalFiles::deletedRowIsMarked()
{
    QTemporaryDir dir;
    LocalFiles files;
    const int row = files.add(dir.filePath(QStringLiteral("a.htm")));
    writeFile(files.row(row).path, 2048);
    files.fetchPass();
    QCOMPARE(files.totalBytes(), 2048);
    files.markDeleted(row);
    QCOMPARE(files.row(row).icon, int(LocalFileRow::Missing));
    QCOMPARE(files.totalBytes(), 0);
    QVERIFY(files.row(row).size.isEmpty());
}

void TestLocalFiles::oneRowPerPath()
{
    LocalFiles files;
    QCOMPARE(files.add(QStringLiteral("/w/h/index.htm")), 0);
    QCOMPARE(files.add(QStringLiteral("/w/h/a.htm")), 1);
    QCOMPARE(files.add(QStringLiteral("/w/h/index.htm")), 0);
    QCOMPARE(files.size(), 2);
    files.clear();
    QCOMPARE(files.size(), 0);
    QCOMPARE(files.indexOf(QStringLiteral("/w/h/a.htm")), -1);
}

QTEST_GUILESS_MAIN(TestLocalFiles)
#include "tst_localfiles.moc"
