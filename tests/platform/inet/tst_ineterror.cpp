#include "platform/InternetErrorNames.h"
#include "platform/inet/InetError.h"

#include <QTest>

#include <cerrno>

// The one table from libcurl's results to the Internet error numbering.
class TestInetError : public QObject
{
    Q_OBJECT

private slots:
    void mapsResults_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("osErrno");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("shownName");
        const auto row = [](const char *tag, CURLcode result, int osErrno, int code, const char *name) {
            QTest::newRow(tag) << int(result) << osErrno << code << QString::fromLatin1(name);
        };
        row("ok", CURLE_OK, 0, 0, "");
        row("unresolvable host", CURLE_COULDNT_RESOLVE_HOST, 0, 12007, "error_internet_name_not_resolved");
        row("unresolvable proxy", CURLE_COULDNT_RESOLVE_PROXY, 0, 12007, "error_internet_name_not_resolved");
        row("refused", CURLE_COULDNT_CONNECT, ECONNREFUSED, 12029, "error_internet_cannot_connect");
        row("time-out", CURLE_OPERATION_TIMEDOUT, 0, 12002, "error_internet_timeout");
        row("malformed URL", CURLE_URL_MALFORMAT, 0, 12005, "error_internet_invalid_url");
        row("unknown scheme", CURLE_UNSUPPORTED_PROTOCOL, 0, 12006, "error_internet_unrecognized_scheme");
        row("login", CURLE_LOGIN_DENIED, 0, 12015, "error_internet_login_failure");
        row("reset on receive", CURLE_RECV_ERROR, ECONNRESET, 12031, "error_internet_connection_reset");
        row("reset on send", CURLE_SEND_ERROR, EPIPE, 12031, "error_internet_connection_reset");
        row("receive failure", CURLE_RECV_ERROR, 0, 12030, "error_internet_connection_aborted");
        row("body cut short", CURLE_PARTIAL_FILE, 0, 12030, "error_internet_connection_aborted");
        row("empty reply", CURLE_GOT_NOTHING, 0, 12030, "error_internet_connection_aborted");
        row("cancelled", CURLE_ABORTED_BY_CALLBACK, 0, 12017, "error_internet_operation_cancelled");
        row("certificate", CURLE_PEER_FAILED_VERIFICATION, 0, 12035, "error_internet_ssl_cert_cn_invalid");
        row("redirect loop", CURLE_TOO_MANY_REDIRECTS, 0, 12003, "error_internet_extended_error");
        row("ftp answer", CURLE_FTP_WEIRD_SERVER_REPLY, 0, 12003, "error_internet_extended_error");
        row("no memory", CURLE_OUT_OF_MEMORY, 0, 12004, "error_internet_internal_error");
    }
    void mapsResults()
    {
        QFETCH(int, result);
        QFETCH(int, osErrno);
        QFETCH(int, code);
        QFETCH(QString, shownName);
        const int mapped = inet::internetError(CURLcode(result), osErrno);
        QCOMPARE(mapped, code);
        QCOMPARE(InternetErrorNames::shownName(mapped), shownName);
    }

    // Every result libcurl can give lands inside the numbering: none is lost as 0
    // (success) and none falls outside the names.
    void everyFailureHasAName()
    {
        for (int result = 1; result < CURL_LAST; ++result) {
            const int mapped = inet::internetError(CURLcode(result), 0);
            QVERIFY2(mapped >= InternetErrorNames::FirstCode && mapped <= InternetErrorNames::LastCode,
                     qPrintable(QString::number(result)));
        }
    }
};

QTEST_GUILESS_MAIN(TestInetError)
#include "tst_ineterror.moc"
