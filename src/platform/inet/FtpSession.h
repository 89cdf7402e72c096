#pragma once

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
    QString host;
    quint16 port = 21;
    QString user; // empty: anonymous
    QString password;
};

// One FTP login on an engine's CurlDriver. Every request runs asynchronously on
// the driver's thread and reports status codes (60 created, 10/11 name look-up,
// 20/21 new connection, 30/31 a command sent, 42 a control answer, 40/41 data,
// 100 complete) and then exactly one completion, each with the request's context.
// Requests share the driver's connection cache, so a listing after the login and
// a download after the listing go over the same kept-alive control connection.
// Signals are emitted on the driver's thread, the status ones from inside
// libcurl's callbacks: a receiver of status() must not start or stop requests
// directly (completions may).
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

    // Connects, logs in and reads the server's features: completes with opened().
    void open(quintptr context);
    // Lists a directory given relative to the login directory ("" for the login
    // directory itself, "a/b c" below it): completes with listed().
    void list(const QString &path, quintptr context);
    // Fetches a remote file (relative to the login directory) in binary mode,
    // streaming it to a temporary file beside localPath that replaces localPath
    // only when the whole file has arrived: completes with downloaded().
    void download(const QString &remotePath, const QString &localPath, quintptr context);
    // Ends every request at once; none of them reports anything afterwards.
    void close();

signals:
    void status(quintptr context, int code);
    // error: 0 on success, else the Internet error code.
    void opened(quintptr context, int error);
    void listed(quintptr context, const inet::FtpEntries &entries, int error);
    void downloaded(quintptr context, int error);

private:
    struct Request;
    enum class Kind { Open, ListMlsd, ListWildcard, Download };

    Request *makeRequest(Kind kind, quintptr context, const QString &path, bool directory);
    void startRequest(Request *request);
    void failAtOnce(Request *request, int error);
    void finish(Request *request, int error);
    QByteArray urlFor(const QString &path, bool directory) const;

    static int onDebug(void *easy, int type, char *data, size_t size, void *request);
    static int onSocketOption(void *request, curl_socket_t socket, int purpose);
    static int onResolverStart(void *resolver, void *reserved, void *request);
    static size_t onListingData(char *data, size_t size, size_t count, void *request);
    static size_t onFileData(char *data, size_t size, size_t count, void *request);
    static long onChunkBegin(const void *info, void *request, int remains);
    static long onChunkEnd(void *request);

    CurlDriver &m_driver;
    FtpLogin m_login;
    std::chrono::milliseconds m_timeout { 0 };
    Listing m_listing = Listing::Automatic;
    bool m_serverOffersMlsd = false;
    std::unordered_map<Request *, std::unique_ptr<Request>> m_requests;
};

} // namespace inet
