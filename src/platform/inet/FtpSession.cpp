#include "platform/inet/FtpSession.h"

#include "platform/inet/CurlDriver.h"
#include "platform/inet/FtpListingParser.h"
#include "platform/inet/InetError.h"
#include "platform/inet/InetStatus.h"
#include "platform/inet/ReplacementFile.h"

#include <QStringList>
#include <QUrl>

namespace inet {

namespace {

using namespace Status;

constexpr long BufferSize = 256 * 1024;

long seconds(std::chrono::milliseconds limit)
{
    return long((limit.count() + 999) / 1000);
}

} // namespace

struct FtpSession::Request
{
    FtpSession *session = nullptr;
    Kind kind = Kind::Open;
    quintptr context = 0;
    CURL *easy = nullptr;
    curl_slist *commands = nullptr;
    QByteArray listing;
    FtpEntries entries;
    std::unique_ptr<ReplacementFile> file;
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
    Request *request = makeRequest(Kind::Open, context, QString(), true);
    if (!request)
        return;
    curl_easy_setopt(request->easy, CURLOPT_NOBODY, 1L);
    // "*": a server without FEAT is still a server one can log in to.
    request->commands = curl_slist_append(nullptr, "*FEAT");
    curl_easy_setopt(request->easy, CURLOPT_QUOTE, request->commands);
    startRequest(request);
}

void FtpSession::list(const QString &path, quintptr context)
{
    const bool mlsd = listsWithMlsd();
    Request *request = makeRequest(mlsd ? Kind::ListMlsd : Kind::ListWildcard, context, path, true);
    if (!request)
        return;
    if (mlsd) {
        curl_easy_setopt(request->easy, CURLOPT_CUSTOMREQUEST, "MLSD");
        curl_easy_setopt(request->easy, CURLOPT_WRITEFUNCTION, &FtpSession::onListingData);
        curl_easy_setopt(request->easy, CURLOPT_WRITEDATA, request);
    } else {
        // libcurl reads the LIST answer with its own parser and hands over each entry.
        curl_easy_setopt(request->easy, CURLOPT_WILDCARDMATCH, 1L);
        curl_easy_setopt(request->easy, CURLOPT_CHUNK_BGN_FUNCTION, &FtpSession::onChunkBegin);
        curl_easy_setopt(request->easy, CURLOPT_CHUNK_END_FUNCTION, &FtpSession::onChunkEnd);
        curl_easy_setopt(request->easy, CURLOPT_CHUNK_DATA, request);
        curl_easy_setopt(request->easy, CURLOPT_WRITEFUNCTION, &FtpSession::onListingData);
        curl_easy_setopt(request->easy, CURLOPT_WRITEDATA, request);
    }
    startRequest(request);
}

void FtpSession::download(const QString &remotePath, const QString &localPath, quintptr context)
{
    Request *request = makeRequest(Kind::Download, context, remotePath, false);
    if (!request)
        return;
    request->file = std::make_unique<ReplacementFile>(localPath);
    if (!request->file->open()) {
        failAtOnce(request, internetError(CURLE_WRITE_ERROR));
        return;
    }
    curl_easy_setopt(request->easy, CURLOPT_TRANSFERTEXT, 0L);
    curl_easy_setopt(request->easy, CURLOPT_WRITEFUNCTION, &FtpSession::onFileData);
    curl_easy_setopt(request->easy, CURLOPT_WRITEDATA, request);
    startRequest(request);
}

void FtpSession::close()
{
    for (auto &[key, request] : m_requests) {
        if (request->easy)
            m_driver.remove(request->easy);
    }
    m_requests.clear();
}

FtpSession::Request *FtpSession::makeRequest(Kind kind, quintptr context, const QString &path, bool directory)
{
    auto owned = std::make_unique<Request>();
    Request *request = owned.get();
    request->session = this;
    request->kind = kind;
    request->context = context;
    request->easy = curl_easy_init();
    m_requests.emplace(request, std::move(owned));
    if (!request->easy) {
        failAtOnce(request, internetError(CURLE_OUT_OF_MEMORY));
        return nullptr;
    }
    CURL *easy = request->easy;
    QByteArray url = urlFor(path, directory);
    if (kind == Kind::ListWildcard)
        url += '*';
    curl_easy_setopt(easy, CURLOPT_URL, url.constData());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, BufferSize);
    // The FTP client connects directly, whatever ftp_proxy or all_proxy say.
    curl_easy_setopt(easy, CURLOPT_PROXY, "");
    if (!m_login.user.isEmpty()) {
        curl_easy_setopt(easy, CURLOPT_USERNAME, m_login.user.toUtf8().constData());
        curl_easy_setopt(easy, CURLOPT_PASSWORD, m_login.password.toUtf8().constData());
    }
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
            // A LIST that matches nothing is an empty directory; a missing one fails
            // earlier, on changing into it.
            if (result == CURLE_REMOTE_FILE_NOT_FOUND && request->kind == Kind::ListWildcard)
                result = CURLE_OK;
            long osErrno = 0;
            curl_easy_getinfo(request->easy, CURLINFO_OS_ERRNO, &osErrno);
            int error = internetError(result, osErrno);
            if (!error && request->kind == Kind::Download && (request->fileFailed || !request->file->commit()))
                error = internetError(CURLE_WRITE_ERROR);
            if (!error && request->kind == Kind::ListMlsd)
                request->entries = FtpListingParser::parseMlsd(request->listing);
            if (request->receiving)
                request->report(ResponseReceived);
            finish(request, error);
        },
        CurlDriver::Pacing::EventsAndLook);
    if (!added)
        failAtOnce(request, internetError(CURLE_FAILED_INIT));
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
    case Kind::ListWildcard:
        emit listed(context, entries, error);
        break;
    case Kind::Download:
        emit downloaded(context, error);
        break;
    }
}

QByteArray FtpSession::urlFor(const QString &path, bool directory) const
{
    QByteArray url = "ftp://" + QUrl::toAce(m_login.host) + ':' + QByteArray::number(m_login.port) + '/';
    QStringList segments = path.split(u'/', Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < segments.size(); ++i) {
        if (i)
            url += '/';
        url += QUrl::toPercentEncoding(segments[i]);
    }
    if (directory && !segments.isEmpty())
        url += '/';
    return url;
}

int FtpSession::onDebug(void *, int type, char *data, size_t size, void *self)
{
    auto *request = static_cast<Request *>(self);
    switch (type) {
    case CURLINFO_HEADER_OUT:
        request->talked = true;
        request->report(SendingRequest);
        request->report(RequestSent);
        break;
    case CURLINFO_HEADER_IN: {
        const QByteArrayView line(data, qsizetype(size));
        request->talked = true;
        if (request->connecting) {
            request->connecting = false;
            request->report(ConnectedToServer);
        } else {
            request->report(ControlResponseReceived);
        }
        // The FEAT answer lists one feature per line, each after a blank.
        if (request->kind == Kind::Open && line.startsWith(" MLST"))
            request->session->m_serverOffersMlsd = true;
        break;
    }
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
    return count;
}

long FtpSession::onChunkBegin(const void *info, void *self, int)
{
    const auto *file = static_cast<const curl_fileinfo *>(info);
    auto *request = static_cast<Request *>(self);
    const QString name = QString::fromUtf8(file->filename);
    if (!FtpListingParser::isEntryName(name))
        return CURL_CHUNK_BGN_FUNC_SKIP;
    FtpEntry entry;
    entry.name = name;
    entry.directory = file->filetype == CURLFILETYPE_DIRECTORY;
    if (file->flags & CURLFINFOFLAG_KNOWN_SIZE)
        entry.size = qint64(file->size);
    // libcurl keeps the date column as text only.
    if (file->strings.time)
        entry.lastWrite = FtpListingParser::parseListTime(file->strings.time, QDateTime::currentDateTimeUtc());
    request->entries.append(std::move(entry));
    return CURL_CHUNK_BGN_FUNC_SKIP;
}

long FtpSession::onChunkEnd(void *)
{
    return CURL_CHUNK_END_FUNC_OK;
}

} // namespace inet
