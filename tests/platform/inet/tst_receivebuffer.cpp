#include "platform/inet/ReceiveBuffer.h"

#include <QTest>

// Whatever the sizes of the pieces that come in and go out, the reader gets
// every byte once and in order, across the compactions of the buffer.
class TestReceiveBuffer : public QObject
{
    Q_OBJECT

private slots:
    void keepsOrderAcrossCompaction_data()
    {
        QTest::addColumn<int>("incoming");
        QTest::addColumn<int>("taken");
        QTest::newRow("taken whole") << 1000 << 1000;
        QTest::newRow("small takes of large pieces") << 4096 << 7;
        QTest::newRow("large takes of small pieces") << 3 << 500;
        QTest::newRow("take of exactly half") << 200 << 100;
        QTest::newRow("one byte each way") << 1 << 1;
    }

    void keepsOrderAcrossCompaction()
    {
        QFETCH(int, incoming);
        QFETCH(int, taken);
        constexpr int Total = 20000;
        QByteArray sent;
        for (int i = 0; i < Total; ++i)
            sent.append(char(i * 7 % 251));

        inet::ReceiveBuffer buffer;
        QByteArray received;
        qsizetype appended = 0;
        while (received.size() < Total) {
            // Two pieces in, one take out: the buffer keeps a backlog to compact.
            for (int piece = 0; piece < 2 && appended < Total; ++piece) {
                const qsizetype length = qMin<qsizetype>(incoming, Total - appended);
                buffer.append(sent.constData() + appended, length);
                appended += length;
            }
            const qsizetype count = qMin<qsizetype>(taken, buffer.available());
            received.append(buffer.front(), count);
            buffer.consume(count);
            QCOMPARE(buffer.available(), appended - received.size());
        }
        QCOMPARE(received, sent);
        QCOMPARE(buffer.available(), 0);
    }
};

QTEST_APPLESS_MAIN(TestReceiveBuffer)
#include "tst_receivebuffer.moc"
