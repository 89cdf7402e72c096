#include "server/RequestHandler.h"

#include "server/FileBody.h"
#include "server/ListingPage.h"
#include "server/RequestLine.h"
#include "server/TextBody.h"

#include <QFileInfo>
#include <QUrl>

namespace {

constexpr QByteArrayView HtmlType("text/html; charset=utf-8");

struct TypeByExtension
{
    const char *extension;
    const char *type;
};

constexpr TypeByExtension ContentTypes[] = {
    { "htm", "text/html" },
    { "html", "text/html" },
    { "txt", "text/plain" },
    { "css", "text/css" },
    { "js", "text/javascript" },
    { "xml", "text/xml" },
    { "gif", "image/gif" },
    { "jpg", "image/jpeg" },
    { "jpeg", "image/jpeg" },
    { "png", "image/png" },
    { "svg", "image/svg+xml" },
    { "ico", "image/x-icon" },
    { "bmp", "image/bmp" },
    { "webp", "image/webp" },
    { "pdf", "application/pdf" },
    { "zip", "application/zip" },
    { "json", "application/json" },
};

} // namespace

RequestHandler::RequestHandler(const Options &options, const SystemFacts &facts)
    : m_options(options)
    , m_facts(facts)
    , m_mapper(options.servedDirectory)
{ }

QByteArrayView RequestHandler::reason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 501:
        return "Not Implemented";
    default:
        return "Internal Server Error";
    }
}

QByteArray RequestHandler::head(int status, QByteArrayView contentType, qint64 contentLength)
{
    QByteArray text;
    text.reserve(160);
    text += "HTTP/1.0 ";
    text += QByteArray::number(status);
    text += ' ';
    text += reason(status);
    text += "\r\nContent-Type: ";
    text += contentType;
    if (contentLength >= 0) {
        text += "\r\nContent-Length: ";
        text += QByteArray::number(contentLength);
    }
    text += "\r\nConnection: close\r\n\r\n";
    return text;
}

QByteArrayView RequestHandler::contentTypeOf(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot >= 0 && fileName.indexOf(u'/', dot) < 0) {
        const QStringView extension = QStringView(fileName).sliced(dot + 1);
        for (const auto &entry : ContentTypes) {
            if (extension.compare(QLatin1StringView(entry.extension), Qt::CaseInsensitive) == 0)
                return entry.type;
        }
    }
    return "application/octet-stream";
}

Response RequestHandler::errorAnswer(int status) const
{
    const QByteArray title = QByteArray::number(status) + ' ' + reason(status).toByteArray();
    QByteArray page = "<html><head><title>" + title + "</title></head><body><h1>" + title + "</h1></body></html>";
    Response response;
    response.status = status;
    response.head = head(status, HtmlType, page.size());
    response.body = std::make_unique<TextBody>(std::move(page));
    response.note = QString::fromLatin1(title);
    return response;
}

Response RequestHandler::listing(
    int status, const QString &targetName, const QString &requestPath, const QString &directory) const
{
    ListingPage::Source source { m_facts, m_options.servedDirectory, targetName, requestPath, directory };
    auto page = std::make_unique<ListingPage>(source);
    Response response;
    response.status = status;
    response.head = head(status, HtmlType, -1);
    response.body = std::move(page);
    if (status != 200)
        response.note = QString::number(status) + u' ' + QLatin1StringView(reason(status));
    return response;
}

Response RequestHandler::answer(QByteArrayView line) const
{
    const RequestLine request = RequestLine::parse(line);
    if (request.kind == RequestLine::Kind::NotSupported)
        return errorAnswer(501);
    if (request.kind != RequestLine::Kind::Get)
        return errorAnswer(400);

    QByteArray path = request.path;
    if (path.startsWith('/'))
        path.remove(0, 1);
    const QString defaultPage = m_options.defaultPage.trimmed();
    const bool asDefault = path.isEmpty() || path == defaultPage.toLower().toUtf8();
    if (path.isEmpty())
        path = QUrl::toPercentEncoding(defaultPage.toLower());

    const PathMapper::Result mapped = m_mapper.map(path);
    switch (mapped.verdict) {
    case PathMapper::Verdict::Malformed:
        return errorAnswer(400);
    case PathMapper::Verdict::Forbidden:
        return errorAnswer(403);
    case PathMapper::Verdict::File: {
        auto body = std::make_unique<FileBody>();
        if (!body->open(mapped.localPath))
            return errorAnswer(403);
        Response response;
        response.status = 200;
        response.head = head(200, contentTypeOf(mapped.localPath), body->size());
        response.body = std::move(body);
        response.file = true;
        return response;
    }
    case PathMapper::Verdict::Directory:
    case PathMapper::Verdict::Missing:
        break;
    }
    if (asDefault) {
        // No default page: the served directory itself is listed.
        if (!m_options.listingAllowed)
            return errorAnswer(404);
        QString root = m_options.servedDirectory;
        root.chop(1);
        const int status = QFileInfo(root).isDir() ? 200 : 404;
        return listing(status, root, QStringLiteral("/"), m_options.servedDirectory);
    }
    if (!m_options.listingAllowed)
        return errorAnswer(404);
    if (mapped.verdict == PathMapper::Verdict::Directory)
        return listing(200, mapped.localPath, mapped.decodedPath, mapped.localPath);
    return listing(404, mapped.localPath, mapped.decodedPath, QString());
}
