#include "platform/inet/FtpSession.h"

#include "platform/inet/CurlDriver.h"
#include "platform/inet/FtpListingParser.h"
#include "platform/inet/InetError.h"
#include "platform/inet/InetStatus.h"
#include "platform/inet/PartialFile.h"

#include <QTimeZone>
#include <QUrl>

namespace inet {

namespace {

using namespace Status;

constexpr long BufferSize = 256 * 1024;

long seconds(std::chrono::milliseconds limit)
{
    return long((limit.count() + 999) / 1000);
}

QByteArrayView firstWord(QByteArrayView line)
{
    const qsizetype blank = line.indexOf(' ');
    return blank < 0 ? line.trimmed() : line.first(blank);
}

} // namespace

struct FtpSession::Request
{
    FtpSession *session = nullptr;
    Kind kind = Kind::Open;
    quintptr context = 0;
    CURL *easy = nullptr;
    curl_slist *commands = nullptr;
    QByteArray path;
    QString localPath;
    QByteArray listing;
    FtpEntries entries;
    std::unique_ptr<PartialFile> file;
    // What a look at a remote file found, and where its download started.
    qint64 size = -1;
    QDateTime date;
    bool restartable = false;
    qint64 startedAt = 0;
    QByteArray lastCommand;
    bool resolving = false;
    bool connecting = false;
    bool receiving = false;
    bool talked = false; // a command or answer went over the control connection
    bool fileFailed = false;

    ~Request()
    {
        if (easy)
            curl_easy_cleanup(easy);
        curl_slist_free_all(commands);
    }

    void report(int code) { emit session->status(context, code); }
};

FtpSession::FtpSession(CurlDriver &driver, const FtpLogin &login, QObject *parent)
    : QObject(parent)
    , m_driver(driver)
    , m_login(login)
    , m_check(std::make_unique<CertificateCheck>(login.trustedCertificate))
{
    qRegisterMetaType<inet::FtpEntries>();
}

FtpSession::~FtpSession()
{
    close();
}

bool FtpSession::listsWithMlsd() const
{
    return m_listing == Listing::Mlsd || (m_listing == Listing::Automatic && m_serverOffersMlsd);
}

void FtpSession::open(quintptr context)
{
    m_controlEncrypted = m_dataEncrypted = false;
    Request *request = makeRequest(Kind::Open, context, QByteArray(), true);
    if (!request)
        return;
    curl_easy_setopt(request->easy, CURLOPT_NOBODY, 1L);
    // Each login is a new one: on a kept connection (which may be dead by now,
    // its failure hidden by the "*" below) the encryption and the features
    // would go unlearnt.
    curl_easy_setopt(request->easy, CURLOPT_FRESH_CONNECT, 1L);
    // "*": a server without FEAT is still a server one can log in to.
    request->commands = curl_slist_append(nullptr, "*FEAT");
    curl_easy_setopt(request->easy, CURLOPT_QUOTE, request->commands);
    startRequest(request);
}

void FtpSession::list(const QByteArray &path, quintptr context)
{
    const bool mlsd = listsWithMlsd();
    Request *request = makeRequest(mlsd ? Kind::ListMlsd : Kind::List, context, path, true);
    if (!request)
        return;
    // A directory's URL is listed with LIST unless another command is named.
    if (mlsd)
        curl_easy_setopt(request->easy, CURLOPT_CUSTOMREQUEST, "MLSD");
    curl_easy_setopt(request->easy, CURLOPT_WRITEFUNCTION, &FtpSession::onListingData);
    curl_easy_setopt(request->easy, CURLOPT_WRITEDATA, request);
    startRequest(request);
}

void FtpSession::download(const QByteArray &remotePath, const QString &localPath, quintptr context)
{
    // First a look at the file (MDTM, SIZE, REST 0): its size and date say whether
    // a partial left by an earlier download is of the same file.
    Request *stat = makeRequest(Kind::Stat, context, remotePath, false);
    if (!stat)
        return;
    stat->localPath = localPath;
    curl_easy_setopt(stat->easy, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(stat->easy, CURLOPT_FILETIME, 1L);
    // libcurl tells what it learnt as header lines, to both of these.
    curl_easy_setopt(stat->easy, CURLOPT_HEADERFUNCTION, &FtpSession::onStatHeader);
    curl_easy_setopt(stat->easy, CURLOPT_HEADERDATA, stat);
    curl_easy_setopt(stat->easy, CURLOPT_WRITEFUNCTION, &FtpSession::onStatHeader);
    curl_easy_setopt(stat->easy, CURLOPT_WRITEDATA, stat);
    startRequest(stat);
}

void FtpSession::startTransfer(const Request &stat)
{
    Request *request = makeRequest(Kind::Download, stat.context, stat.path, false);
    if (!request)
        return;
    request->file = std::make_unique<PartialFile>(stat.localPath, identityOf(stat));
    const bool resumable = stat.restartable && stat.size >= 0 && stat.date.isValid();
    if (!request->file->open(resumable && request->file->kept() <= stat.size)) {
        failAtOnce(request, internetError(CURLE_WRITE_ERROR));
        return;
    }
    request->size = stat.size;
    request->startedAt = request->file->size();
    if (request->startedAt > 0)
        curl_easy_setopt(request->easy, CURLOPT_RESUME_FROM_LARGE, curl_off_t(request->startedAt));
    curl_easy_setopt(request->easy, CURLOPT_TRANSFERTEXT, 0L);
    curl_easy_setopt(request->easy, CURLOPT_WRITEFUNCTION, &FtpSession::onFileData);
    curl_easy_setopt(request->easy, CURLOPT_WRITEDATA, request);
    emit progress(request->context, request->startedAt, request->size, request->startedAt);
    startRequest(request);
}

QByteArray FtpSession::identityOf(const Request &stat) const
{
    return m_login.user.toUtf8() + '@' + m_login.host.toUtf8() + ':' + QByteArray::number(m_login.port) + '\n'
        + stat.path + '\n' + QByteArray::number(stat.size) + '\n' + stat.date.toUTC().toString(Qt::ISODate).toLatin1();
}

void FtpSession::cancel(quintptr context)
{
    for (auto &[key, request] : m_requests) {
        if (request->context == context) {
            finish(key, ErrorOperationCancelled);
            return;
        }
    }
}

void FtpSession::close()
{
    for (auto &[key, request] : m_requests) {
        if (request->easy)
            m_driver.remove(request->easy);
    }
    m_requests.clear();
}

FtpSession::Request *FtpSession::makeRequest(Kind kind, quintptr context, const QByteArray &path, bool directory)
{
    auto owned = std::make_unique<Request>();
    Request *request = owned.get();
    request->session = this;
    request->kind = kind;
    request->context = context;
    request->path = path;
    request->easy = curl_easy_init();
    m_requests.emplace(request, std::move(owned));
    if (!request->easy) {
        failAtOnce(request, internetError(CURLE_OUT_OF_MEMORY));
        return nullptr;
    }
    CURL *easy = request->easy;
    const QByteArray url = urlFor(path, directory);
    curl_easy_setopt(easy, CURLOPT_URL, url.constData());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, BufferSize);
    // The FTP client connects directly, whatever ftp_proxy or all_proxy say.
    curl_easy_setopt(easy, CURLOPT_PROXY, "");
    if (!m_login.user.isEmpty()) {
        curl_easy_setopt(easy, CURLOPT_USERNAME, m_login.user.toUtf8().constData());
        curl_easy_setopt(easy, CURLOPT_PASSWORD, m_login.password.toUtf8().constData());
    }
    // Encrypted whenever the server can: AUTH TLS before the login, PROT P for data.
    curl_easy_setopt(easy, CURLOPT_USE_SSL, long(CURLUSESSL_TRY));
    curl_easy_setopt(easy, CURLOPT_FTPSSLAUTH, long(CURLFTPAUTH_TLS));
    m_check->applyTo(easy);
    if (m_timeout.count() > 0) {
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, long(m_timeout.count()));
        curl_easy_setopt(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, seconds(m_timeout));
        // A data connection that brings nothing for the whole limit has stalled.
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, seconds(m_timeout));
    }
    // The debug stream is where libcurl shows each command sent and each answer
    // of the control connection; nothing is printed.
    curl_easy_setopt(easy, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(easy, CURLOPT_DEBUGFUNCTION, &FtpSession::onDebug);
    curl_easy_setopt(easy, CURLOPT_DEBUGDATA, request);
    curl_easy_setopt(easy, CURLOPT_SOCKOPTFUNCTION, &FtpSession::onSocketOption);
    curl_easy_setopt(easy, CURLOPT_SOCKOPTDATA, request);
    curl_easy_setopt(easy, CURLOPT_RESOLVER_START_FUNCTION, &FtpSession::onResolverStart);
    curl_easy_setopt(easy, CURLOPT_RESOLVER_START_DATA, request);
    return request;
}

void FtpSession::startRequest(Request *request)
{
    request->report(HandleCreated);
    const bool added = m_driver.add(
        request->easy,
        [this, request](CURLcode result) {
            const int error = completionError(request, result);
            if (request->kind == Kind::Stat && !error) {
                // The look is done; the download itself follows under the same context.
                const auto found = m_requests.find(request);
                std::unique_ptr<Request> stat = std::move(found->second);
                m_requests.erase(found);
                startTransfer(*stat);
                return;
            }
            if (request->receiving)
                request->report(ResponseReceived);
            finish(request, error);
        },
        CurlDriver::Pacing::EventsAndLook);
    if (!added)
        failAtOnce(request, internetError(CURLE_FAILED_INIT));
}

int FtpSession::completionError(Request *request, CURLcode result)
{
    long osErrno = 0;
    curl_easy_getinfo(request->easy, CURLINFO_OS_ERRNO, &osErrno);
    int error = internetError(result, osErrno);
    // However libcurl words a handshake that the check ended, it is the certificate.
    if ((result == CURLE_SSL_CONNECT_ERROR || result == CURLE_PEER_FAILED_VERIFICATION) && m_check->refused())
        error = ErrorSslCertificate;
    if (error)
        return error;
    switch (request->kind) {
    case Kind::Stat: {
        curl_off_t size = -1;
        curl_off_t time = -1;
        curl_easy_getinfo(request->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size);
        curl_easy_getinfo(request->easy, CURLINFO_FILETIME_T, &time);
        request->size = size;
        if (time >= 0)
            request->date = QDateTime::fromSecsSinceEpoch(qint64(time), QTimeZone::utc());
        break;
    }
    case Kind::Download:
        if (request->fileFailed || !request->file->commit())
            return internetError(CURLE_WRITE_ERROR);
        break;
    case Kind::ListMlsd:
        request->entries = FtpListingParser::parseMlsd(request->listing);
        break;
    case Kind::List:
        request->entries = FtpListingParser::parseList(request->listing, QDateTime::currentDateTimeUtc());
        break;
    case Kind::Open:
        break;
    }
    return 0;
}

void FtpSession::failAtOnce(Request *request, int error)
{
    // Completions always arrive after the call that started the request returned.
    QMetaObject::invokeMethod(
        this,
        [this, request, error] {
            if (m_requests.count(request))
                finish(request, error);
        },
        Qt::QueuedConnection);
}

void FtpSession::finish(Request *request, int error)
{
    const auto found = m_requests.find(request);
    if (found == m_requests.end())
        return;
    std::unique_ptr<Request> owned = std::move(found->second);
    m_requests.erase(found);
    if (owned->easy)
        m_driver.remove(owned->easy);
    owned->report(RequestComplete);
    const quintptr context = owned->context;
    const Kind kind = owned->kind;
    FtpEntries entries = std::move(owned->entries);
    owned.reset();
    // The receiver may close or delete this session: nothing of it is touched after.
    switch (kind) {
    case Kind::Open:
        emit opened(context, error);
        break;
    case Kind::ListMlsd:
    case Kind::List:
        emit listed(context, entries, error);
        break;
    case Kind::Stat:
    case Kind::Download:
        emit downloaded(context, error);
        break;
    }
}

QByteArray FtpSession::urlFor(const QByteArray &path, bool directory) const
{
    // An IPv6 address stands in brackets, a name in its ASCII form.
    const QByteArray host
        = m_login.host.contains(u':') ? '[' + m_login.host.toLatin1() + ']' : QUrl::toAce(m_login.host);
    QByteArray url = "ftp://" + host + ':' + QByteArray::number(m_login.port) + '/';
    const QList<QByteArray> segments = path.split('/');
    bool first = true;
    for (const QByteArray &segment : segments) {
        if (segment.isEmpty())
            continue;
        if (!first)
            url += '/';
        url += segment.toPercentEncoding();
        first = false;
    }
    if (directory && !first)
        url += '/';
    return url;
}

int FtpSession::onDebug(void *, int type, char *data, size_t size, void *self)
{
    auto *request = static_cast<Request *>(self);
    FtpSession *session = request->session;
    const QByteArrayView line(data, qsizetype(size));
    switch (type) {
    case CURLINFO_HEADER_OUT:
        request->talked = true;
        request->lastCommand = firstWord(line).toByteArray().toUpper();
        request->report(SendingRequest);
        request->report(RequestSent);
        break;
    case CURLINFO_HEADER_IN:
        request->talked = true;
        if (request->connecting) {
            request->connecting = false;
            request->report(ConnectedToServer);
        } else {
            request->report(ControlResponseReceived);
        }
        if (request->kind == Kind::Open) {
            // The FEAT answer lists one feature per line, each after a blank.
            if (line.startsWith(" MLST"))
                session->m_serverOffersMlsd = true;
            if (request->lastCommand == "AUTH" && line.startsWith("234"))
                session->m_controlEncrypted = true;
            if (request->lastCommand == "PROT" && line.startsWith('2'))
                session->m_dataEncrypted = true;
        }
        break;
    case CURLINFO_DATA_IN:
        if (!request->receiving) {
            request->receiving = true;
            request->report(ReceivingResponse);
        }
        break;
    default:
        break;
    }
    return 0;
}

int FtpSession::onSocketOption(void *self, curl_socket_t, int purpose)
{
    auto *request = static_cast<Request *>(self);
    if (purpose != CURLSOCKTYPE_IPCXN)
        return CURL_SOCKOPT_OK;
    if (request->resolving) {
        request->resolving = false;
        request->report(NameResolved);
    }
    // A socket opened before any word was exchanged is a new control connection;
    // later ones carry data.
    if (!request->talked) {
        request->connecting = true;
        request->report(ConnectingToServer);
    }
    return CURL_SOCKOPT_OK;
}

int FtpSession::onResolverStart(void *, void *, void *self)
{
    auto *request = static_cast<Request *>(self);
    request->resolving = true;
    request->report(ResolvingName);
    return 0;
}

size_t FtpSession::onListingData(char *data, size_t, size_t count, void *self)
{
    static_cast<Request *>(self)->listing.append(data, qsizetype(count));
    return count;
}

size_t FtpSession::onFileData(char *data, size_t, size_t count, void *self)
{
    auto *request = static_cast<Request *>(self);
    if (!request->file->write(data, qint64(count))) {
        request->fileFailed = true;
        return CURL_WRITEFUNC_ERROR;
    }
    emit request->session->progress(request->context, request->file->size(), request->size, request->startedAt);
    return count;
}

size_t FtpSession::onStatHeader(char *data, size_t, size_t count, void *self)
{
    // The answer to "REST 0": the server can start a transfer part of the way in.
    if (QByteArrayView(data, qsizetype(count)).startsWith("Accept-ranges: bytes"))
        static_cast<Request *>(self)->restartable = true;
    return count;
}

} // namespace inet
