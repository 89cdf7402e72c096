#include "server/RequestHandler.h"

#include "server/ByteRange.h"
#include "server/FileBody.h"
#include "server/HttpDate.h"
#include "server/ListingPage.h"
#include "server/ResponseHead.h"
#include "server/TextBody.h"

#include <QFileInfo>
#include <QUrl>

#include <utility>

namespace {

constexpr QByteArrayView HtmlType("text/html; charset=utf-8");

QString noteFor(int status)
{
    return QString::number(status) + u' ' + QLatin1StringView(ResponseHead::reason(status));
}

// Whether the request ended with its head: one the server could read, with no body to follow.
bool endsWithHead(int status, const RequestHead &request)
{
    return !request.hasBody && status != 400 && status != 431 && status != 501;
}

// Whether the connection may carry another request after this answer: not
// after one that says the request itself could not be read.
bool keepsConnection(int status, const RequestHead &request)
{
    return request.keepAlive && endsWithHead(status, request);
}

constexpr auto UnusedFileLimit = std::chrono::seconds(10);

} // namespace

RequestHandler::RequestHandler(const Options &options, const SystemFacts &facts)
    : m_options(options)
    , m_defaultPath(options.defaultPage.trimmed().toLower().toUtf8())
    , m_facts(facts)
    , m_mapper(options.servedDirectory)
    , m_walks(m_mapper)
{ }

void RequestHandler::closeUnusedFiles(OpenFiles::Clock::time_point now)
{
    m_files.closeUnused(now, UnusedFileLimit);
    m_walks.forgetUnused(now, UnusedFileLimit);
}

Response RequestHandler::errorAnswer(int status, const RequestHead &request, QByteArrayView contentRange) const
{
    const QByteArray title = QByteArray::number(status) + ' ' + ResponseHead::reason(status).toByteArray();
    QByteArray page = "<html><head><title>" + title + "</title></head><body><h1>" + title + "</h1></body></html>";
    Response response;
    response.status = status;
    response.keepAlive = keepsConnection(status, request);
    ResponseHead head(status, request.line.persistent);
    head.add("Content-Type", HtmlType).add("Content-Length", page.size());
    if (!contentRange.isEmpty())
        head.add("Content-Range", contentRange);
    response.head = head.finish(response.keepAlive);
    if (request.line.kind != RequestLine::Kind::Head)
        response.body = std::make_unique<TextBody>(std::move(page));
    response.note = QString::fromLatin1(title);
    return response;
}

Response RequestHandler::listing(int status, const QString &targetName, const QString &requestPath,
    const QString &directory, const RequestHead &request) const
{
    Response response;
    response.status = status;
    response.keepAlive = request.keepAlive;
    // Its length is known only once it is sent: a kept connection frames it in chunks, any other ends with it.
    response.chunked = request.keepAlive;
    ResponseHead head(status, request.line.persistent);
    head.add("Content-Type", HtmlType);
    if (response.chunked)
        head.add("Transfer-Encoding", "chunked");
    response.head = head.finish(response.keepAlive);
    if (request.line.kind != RequestLine::Kind::Head) {
        const ListingPage::Source source { m_facts, m_options.servedDirectory, targetName, requestPath, directory };
        response.body = std::make_unique<ListingPage>(source);
    }
    if (status != 200)
        response.note = noteFor(status);
    return response;
}

Response RequestHandler::fileAnswer(
    const std::shared_ptr<const OpenFiles::File> &file, const QByteArray &type, const RequestHead &request) const
{
    auto body = std::make_unique<FileBody>(file);
    const bool http11 = request.line.persistent;
    const QByteArray &modified = file->lastModified;
    Response response;
    response.keepAlive = request.keepAlive;
    if (!request.ifModifiedSince.isEmpty()) {
        const QDateTime since = HttpDate::parse(request.ifModifiedSince);
        if (since.isValid() && file->modified <= since) {
            response.status = 304;
            ResponseHead head(304, http11);
            response.head = head.add("Last-Modified", modified).finish(response.keepAlive);
            response.note = noteFor(304);
            return response;
        }
    }
    const qint64 size = body->size();
    const ByteRange range = request.range.isEmpty() ? ByteRange() : ByteRange::parse(request.range, size);
    // The head of a 416 says what the file holds, so that the client can ask again.
    if (range.kind == ByteRange::Kind::Unsatisfiable)
        return errorAnswer(416, request, QByteArray("bytes */" + QByteArray::number(size)));
    response.status = range.kind == ByteRange::Kind::Part ? 206 : 200;
    ResponseHead head(response.status, http11);
    head.add("Content-Type", type);
    if (response.status == 206) {
        head.add("Content-Length", range.length());
        head.add("Content-Range",
            QByteArray("bytes " + QByteArray::number(range.first) + '-' + QByteArray::number(range.last) + '/'
                + QByteArray::number(size)));
        body->restrictTo(range.first, range.length());
        response.note = noteFor(206);
    } else {
        head.add("Content-Length", size);
    }
    head.add("Last-Modified", modified).add("Accept-Ranges", "bytes");
    response.head = head.finish(response.keepAlive);
    response.file = true;
    if (request.line.kind != RequestLine::Kind::Head)
        response.body = std::move(body);
    return response;
}

Response RequestHandler::answer(QByteArrayView headText)
{
    if (std::exchange(m_catchUp, false))
        m_walks.catchUp();
    const RequestHead request = RequestHead::parse(headText);
    Response response = answer(request);
    response.requestEnded = endsWithHead(response.status, request);
    return response;
}

Response RequestHandler::answer(const RequestHead &request)
{
    if (request.line.kind == RequestLine::Kind::NotSupported)
        return errorAnswer(501, request);
    if (!request.line.answerable())
        return errorAnswer(400, request);

    QByteArray path = request.line.path;
    if (path.startsWith('/'))
        path.remove(0, 1);
    const bool asDefault = path.isEmpty() || path == m_defaultPath;
    if (path.isEmpty())
        path = QUrl::toPercentEncoding(QString::fromUtf8(m_defaultPath));
    if (const WalkCache::Walk *known = m_walks.find(path))
        return fileAnswer(known->file, known->type, request);

    const PathMapper::Result mapped = m_mapper.map(path);
    switch (mapped.verdict) {
    case PathMapper::Verdict::Malformed:
        return errorAnswer(400, request);
    case PathMapper::Verdict::Forbidden:
        return errorAnswer(403, request);
    case PathMapper::Verdict::File: {
        const std::shared_ptr<const OpenFiles::File> file = m_files.open(mapped.localPath, mapped.stamp);
        if (!file)
            return errorAnswer(403, request);
        const QByteArray type = m_types.of(mapped.localPath);
        m_walks.keep(path, mapped, file, type);
        return fileAnswer(file, type, request);
    }
    case PathMapper::Verdict::Directory:
    case PathMapper::Verdict::Missing:
        break;
    }
    if (!m_options.listingAllowed)
        return errorAnswer(404, request);
    if (asDefault) {
        // No default page: the served directory itself is listed.
        QString root = m_options.servedDirectory;
        root.chop(1);
        const int status = QFileInfo(root).isDir() ? 200 : 404;
        return listing(status, root, QStringLiteral("/"), m_options.servedDirectory, request);
    }
    if (mapped.verdict == PathMapper::Verdict::Directory)
        return listing(200, mapped.localPath, mapped.decodedPath, mapped.localPath, request);
    return listing(404, mapped.localPath, mapped.decodedPath, QString(), request);
}
