#include "crawler/DownloadWorkerStatus.h"

#include <QTest>

// The worker's status text: the table's texts over the first 64 characters.
class TestDownloadWorkerStatus : public QObject
{
    Q_OBJECT

private slots:
    void notificationsShowTheirText_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("10") << 10 << QStringLiteral("Tražim URL ...");
        QTest::newRow("11") << 11 << QStringLiteral("URL pronađen.");
        QTest::newRow("20") << 20 << QStringLiteral("Spajam se na Server ...");
        QTest::newRow("21") << 21 << QStringLiteral("Spojen na Server.");
        QTest::newRow("30") << 30 << QStringLiteral("Šaljem zahtjev ...");
        QTest::newRow("31") << 31 << QStringLiteral("Zahtjev poslan.");
        QTest::newRow("40") << 40 << QStringLiteral("Primam odgovor ...");
        QTest::newRow("41") << 41 << QStringLiteral("Odgovor primljen.");
        QTest::newRow("42") << 42 << QStringLiteral("CTL odgovor primljen.");
        QTest::newRow("50") << 50 << QStringLiteral("Zatvaram vezu ...");
        QTest::newRow("51") << 51 << QStringLiteral("Veza zatvorena.");
        QTest::newRow("60") << 60 << QStringLiteral("Veza kreirana.");
        QTest::newRow("70") << 70 << QStringLiteral("...");
        QTest::newRow("100") << 100 << QStringLiteral("Zahtjev izvršen.");
        QTest::newRow("110") << 110 << QStringLiteral("Redirekcija ...");
        QTest::newRow("outside the table") << 45 << QString();
    }
    void notificationsShowTheirText()
    {
        QFETCH(int, code);
        QFETCH(QString, text);
        DownloadWorkerStatus status;
        status.notify(code);
        QCOMPARE(status.shown(), text);
        QCOMPARE(status.field().size(), DownloadWorkerStatus::Width);
    }

    // A notification touches only the first 64 characters: an unknown code blanks
    // them and leaves the rest of a longer text standing.
    void anUnknownCodeBlanksTheFirst64Characters()
    {
        DownloadWorkerStatus status;
        status.setError(12029);
        QCOMPARE(status.shown(), QStringLiteral("Error: 12029"));
        status.notify(999);
        QCOMPARE(status.shown(), QString());

        status.notify(20);
        QCOMPARE(status.shown(), QStringLiteral("Spajam se na Server ..."));
        status.notify(7);
        QCOMPARE(status.field(), QString(DownloadWorkerStatus::Width, u' '));
    }

    void aShorterTextLeavesNoRestOfTheLongerOne()
    {
        DownloadWorkerStatus status;
        status.notify(20);
        status.notify(70);
        QCOMPARE(status.shown(), QStringLiteral("..."));
    }
};

QTEST_GUILESS_MAIN(TestDownloadWorkerStatus)
#include "tst_downloadworkerstatus.moc"
