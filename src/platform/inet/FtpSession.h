#pragma once

#include "platform/inet/CertificateCheck.h"
#include "platform/inet/FtpEntry.h"

#include <QObject>
#include <QString>

#include <curl/curl.h>

#include <chrono>
#include <memory>
#include <unordered_map>

namespace inet {

class CurlDriver;

struct FtpLogin
{
    QString host; // a name or an address (an IPv6 one without brackets)
    quint16 port = 21;
    QString user {}; // empty: anonymous
    QString password {};
    // The SHA-256 of the certificate the user trusted for this server; empty: none.
    QByteArray trustedCertificate {};
};

// One FTP login on an engine's CurlDriver. Every request runs asynchronously on
// the driver's thread and reports status codes (60 created, 10/11 name look-up,
// 20/21 new connection, 30/31 a command sent, 42 a control answer, 40/41 data,
// 100 complete) and then exactly one completion, each with the request's context.
// Requests share the driver's connection cache, so a listing after the login and
// a download after the listing go over the same kept-alive control connection.
// A server that offers TLS gets it (AUTH TLS, and PROT P for the data
// connections), its certificate checked by a CertificateCheck; one that does not
// is spoken to in clear text.
// Signals are emitted on the driver's thread, the status and progress ones from
// inside libcurl's callbacks: their receivers must not start or stop requests
// directly (completions may).
// Remote paths are the server's own bytes, "/"-separated, relative to the login
// directory ("" for the login directory itself).
class FtpSession : public QObject
{
    Q_OBJECT

public:
    enum class Listing { Automatic, Mlsd, List };

    FtpSession(CurlDriver &driver, const FtpLogin &login, QObject *parent = nullptr);
    ~FtpSession() override;
    FtpSession(const FtpSession &) = delete;
    FtpSession &operator=(const FtpSession &) = delete;

    const FtpLogin &login() const { return m_login; }

    // Limits for connecting and for each wait on an answer or on data; zero leaves
    // libcurl's own limits.
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }
    // Automatic: MLSD when the login found it among the server's features, else LIST.
    void setListing(Listing listing) { m_listing = listing; }
    bool listsWithMlsd() const;
    // The authorities a TLS server's certificate must chain to, as a PEM file;
    // empty: the system's trust store. Tests name their loopback authority;
    // set before the first request.
    void setCaFile(const QString &file)
    {
        m_check = std::make_unique<CertificateCheck>(m_login.trustedCertificate, file);
    }
    // After the login: whether the commands and the data travel encrypted.
    bool encrypted() const { return m_controlEncrypted && m_dataEncrypted; }
    // The SHA-256 of the certificate the server presented last; empty without TLS.
    QByteArray presentedCertificate() const { return m_check->presented(); }

    // Connects, logs in and reads the server's features: completes with opened().
    // A certificate that fails the check fails it with ErrorSslCertificate.
    void open(quintptr context);
    // Lists a directory: completes with listed().
    void list(const QByteArray &path, quintptr context);
    // Fetches a remote file in binary mode into a PartialFile for localPath:
    // completes with downloaded(). What a broken download left of the same
    // remote file is continued (REST) when the server can and the file's size
    // and date are the same as then; else the file comes whole.
    void download(const QByteArray &remotePath, const QString &localPath, quintptr context);
    // Ends the request at once, completing it with ErrorOperationCancelled; what
    // a download received stays for a later one to continue.
    void cancel(quintptr context);
    // Ends every request at once; none of them reports anything afterwards.
    void close();

signals:
    void status(quintptr context, int code);
    // error: 0 on success, else the Internet error code.
    void opened(quintptr context, int error);
    void listed(quintptr context, const inet::FtpEntries &entries, int error);
    void downloaded(quintptr context, int error);
    // While a file arrives: its bytes on disk (those kept from before included),
    // of size (-1 when the server did not tell), and the bytes at the start.
    void progress(quintptr context, qint64 bytes, qint64 size, qint64 startedAt);

private:
    struct Request;
    enum class Kind { Open, ListMlsd, List, Stat, Download };

    Request *makeRequest(Kind kind, quintptr context, const QByteArray &path, bool directory);
    void startRequest(Request *request);
    void startTransfer(const Request &stat);
    void failAtOnce(Request *request, int error);
    void finish(Request *request, int error);
    int completionError(Request *request, CURLcode result);
    QByteArray urlFor(const QByteArray &path, bool directory) const;
    QByteArray identityOf(const Request &stat) const;

    static int onDebug(void *easy, int type, char *data, size_t size, void *request);
    static int onSocketOption(void *request, curl_socket_t socket, int purpose);
    static int onResolverStart(void *resolver, void *reserved, void *request);
    static size_t onListingData(char *data, size_t size, size_t count, void *request);
    static size_t onFileData(char *data, size_t size, size_t count, void *request);
    static size_t onStatHeader(char *data, size_t size, size_t count, void *request);

    CurlDriver &m_driver;
    FtpLogin m_login;
    std::unique_ptr<CertificateCheck> m_check;
    std::chrono::milliseconds m_timeout { 0 };
    Listing m_listing = Listing::Automatic;
    bool m_serverOffersMlsd = false;
    bool m_controlEncrypted = false;
    bool m_dataEncrypted = false;
    std::unordered_map<Request *, std::unique_ptr<Request>> m_requests;
};

} // namespace inet
