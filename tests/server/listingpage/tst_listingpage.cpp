#include "server/ListingPage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

ListingPage::Entry entry(const QString &name, bool directory, qint64 size)
{
    return { name, directory, QDateTime(QDate(2026, 12, 8), QTime(16, 30, 12)), size };
}

QList<QByteArray> piecesOf(ListingPage &page)
{
    QList<QByteArray> pieces;
    QByteArray piece;
    while (page.nextPiece(piece))
        pieces.append(piece);
    return pieces;
}

} // namespace

class TestListingPage : public QObject
{
    Q_OBJECT

private slots:
    void numbers_data();
    void numbers();
    void rows_data();
    void rows();
    void wholePage();
    void orderAndPieces();
};

void TestListingPage::numbers_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("blankZero");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero blank") << qint64(0) << 10 << true << QString(10, u' ');
    QTest::newRow("zero shown") << qint64(0) << 12 << false << QStringLiteral("           0");
    QTest::newRow("small") << qint64(25) << 10 << true << QStringLiteral("        25");
    QTest::newRow("thousands") << qint64(25000) << 10 << true << QStringLiteral("    25,000");
    QTest::newRow("millions") << qint64(1234567) << 10 << true << QStringLiteral(" 1,234,567");
    QTest::newRow("wider than the field") << qint64(12345678901) << 10 << true << QStringLiteral("12,345,678,901");
}

void TestListingPage::numbers()
{
    QFETCH(qint64, value);
    QFETCH(int, width);
    QFETCH(bool, blankZero);
    QFETCH(QString, text);
    QCOMPARE(ListingPage::groupedNumber(value, width, blankZero), text);
}

void TestListingPage::rows_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("directory");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QString>("row");
    QTest::newRow("file") << QStringLiteral("Slika.JPG") << false << qint64(25000)
                          << QStringLiteral(
                                 "<A HREF=\"/docs/slika.jpg\">slika.jpg</A> 08.12.2026 16:30     25,000<br>");
    QTest::newRow("empty file") << QStringLiteral("prazno.txt") << false << qint64(0)
                                << QStringLiteral("<A HREF=\"/docs/prazno.txt\">prazno.txt</A> 08.12.2026 16:30 ")
            + QString(10, u' ') + QStringLiteral("<br>");
    QTest::newRow("directory") << QStringLiteral("Slike") << true << qint64(0)
                               << QStringLiteral("<A HREF=\"/docs/slike\">SLIKE</A> 08.12.2026 16:30<br>");
    QTest::newRow("escaped") << QStringLiteral("<b> & \"x\"#%.txt") << false << qint64(1)
                             << QStringLiteral("<A HREF=\"/docs/%3Cb%3E%20%26%20%22x%22%23%25.txt\">&lt;b&gt; &amp; "
                                               "&quot;x&quot;#%.txt</A> 08.12.2026 16:30          1<br>");
    QTest::newRow("non-ascii") << QStringLiteral("Čaša.txt") << false << qint64(1)
                               << QStringLiteral("<A HREF=\"/docs/%C4%8Da%C5%A1a.txt\">čaša.txt</A> 08.12.2026 16:30   "
                                                 "       1<br>");
}

void TestListingPage::rows()
{
    QFETCH(QString, name);
    QFETCH(bool, directory);
    QFETCH(qint64, size);
    QFETCH(QString, row);
    QCOMPARE(ListingPage::row(entry(name, directory, size), QStringLiteral("/docs/")), row);
}

void TestListingPage::wholePage()
{
    QTemporaryDir root;
    QDir().mkpath(root.filePath(QStringLiteral("Mapa")));
    QFile file(root.filePath(QStringLiteral("a.bin")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(25000, 'x'));
    file.close();
    SystemFacts facts { QStringLiteral("ivo"), QStringLiteral("stroj"), QStringLiteral("Intel"), 586, 512 };
    ListingPage page(
        { facts, QStringLiteral("/srv/www/"), QStringLiteral("/srv/www/docs"), QStringLiteral("/docs"), root.path() });
    const QByteArray text = piecesOf(page).join();
    QVERIFY(text.startsWith("<html>\n\r<head>\n\r<title>/srv/www/</title></head>\n\r<body bgcolor=\"#C0C0C0\">\n\r"));
    QVERIFY(text.contains("HTTP_ by Quorin.<br>\n\r<script language=\"javascript\">\n\r<!-- \n\r"
                          "document.write(document.lastModified)\n\r //-->\n\r</script><br><br>"));
    QVERIFY(text.contains("Computer: stroj<br>User name: ivo<br><br>Processor: Intel               <br>Type: "
                          "586<br>Memory: 512 Mb<br></b></strong>"));
    QVERIFY(text.contains("<strong>/srv/www/docs</strong><br></font>"));
    QVERIFY(text.contains("<A HREF=\"/docs/mapa\">MAPA</A>"));
    QVERIFY(text.contains("<A HREF=\"/docs/a.bin\">a.bin</A>"));
    QVERIFY(text.indexOf("MAPA") < text.indexOf(">a.bin<"));
    QVERIFY(text.endsWith("</td></tr></table></td></tr></table></font><br><hr>          24 Kbytes in 2 files. "
                          "</body></html>"));
    QVERIFY(!text.contains(QStringLiteral("Traženi").toUtf8()));
}

void TestListingPage::orderAndPieces()
{
    QTemporaryDir root;
    // Directories first, then files, each by name whatever the case.
    for (const QString &name : { QStringLiteral("b.txt"), QStringLiteral("A.txt"), QStringLiteral("c.txt") }) {
        QFile file(root.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QDir().mkpath(root.filePath(QStringLiteral("z")));
    QDir().mkpath(root.filePath(QStringLiteral("Y")));
    QStringList names;
    for (const auto &item : ListingPage::readDirectory(root.path(), root.path()))
        names.append(item.name);
    QCOMPARE(names,
        QStringList({ QStringLiteral("Y"), QStringLiteral("z"), QStringLiteral("A.txt"), QStringLiteral("b.txt"),
            QStringLiteral("c.txt") }));

    for (int i = 0; i < 40; ++i) {
        QFile file(root.filePath(QStringLiteral("f%1").arg(i, 2, 10, QLatin1Char('0'))));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    ListingPage page({ SystemFacts(), QStringLiteral("/"), QStringLiteral("/"), QStringLiteral("/"), root.path() });
    const QList<QByteArray> pieces = piecesOf(page);
    QCOMPARE(pieces.size(), 4); // header, 20, 20, the last 5 with the footer
    QCOMPARE(pieces[1].count("<br>"), 20);
    QCOMPARE(pieces[2].count("<br>"), 20);
    QVERIFY(pieces[3].endsWith(" Kbytes in 45 files. </body></html>"));

    ListingPage missing({ SystemFacts(), QStringLiteral("/"), QStringLiteral("/x"), QStringLiteral("/x"), QString() });
    const QList<QByteArray> empty = piecesOf(missing);
    QCOMPARE(empty.size(), 2);
    QVERIFY(empty[1].startsWith(QStringLiteral("Traženi Direktorij ili Datoteka ne postoji. <br>").toUtf8()));
    QVERIFY(empty[1].endsWith("<hr>           0 Kbytes in 0 files. </body></html>"));
}

QTEST_GUILESS_MAIN(TestListingPage)
#include "tst_listingpage.moc"
