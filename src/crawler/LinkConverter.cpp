#include "crawler/LinkConverter.h"

#include "crawler/CssScanner.h"
#include "crawler/LinkCollector.h"
#include "crawler/LinkResolver.h"
#include "crawler/MarkupScanner.h"
#include "crawler/MirrorIndex.h"
#include "platform/inet/ReadSize.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUrl>

#include <functional>
#include <variant>

namespace {

const QString OwnDirectory = QStringLiteral("./");

bool isHtmlType(const QString &mediaType)
{
    return mediaType == u"text/html" || mediaType == u"application/xhtml+xml";
}

bool hasHtmlName(const QString &path)
{
    return path.endsWith(QLatin1StringView(".htm"), Qt::CaseInsensitive)
        || path.endsWith(QLatin1StringView(".html"), Qt::CaseInsensitive);
}

// The text of a reference as it may stand in its place: in an attribute the
// ampersand and the value's quote are written as character references.
QByteArray escapedFor(const FoundReference &reference, QByteArray text)
{
    if (!reference.inAttribute)
        return text;
    text.replace('&', "&amp;");
    if (reference.quote == '"')
        text.replace('"', "&quot;");
    else if (reference.quote == '\'')
        text.replace('\'', "&#39;");
    return text;
}

// Feeds a file to the scanner that reads its kind, and writes it out again
// with each reference's bytes replaced, holding only what the scanner has not
// yet settled.
class Rewrite
{
public:
    using Scanner = std::variant<MarkupScanner, CssScanner>;
    using Replace = std::function<std::optional<QByteArray>(const FoundReference &)>;

    Rewrite(QIODevice &out, Scanner &scanner, Replace replace)
        : m_out(out)
        , m_scanner(scanner)
        , m_replace(std::move(replace))
    { }

    bool feed(QByteArrayView bytes)
    {
        m_held.append(bytes.data(), bytes.size());
        FoundReferences found;
        std::visit([&](auto &scanner) { scanner.feed(bytes, found); }, m_scanner);
        const qint64 settled = std::visit([](const auto &scanner) { return scanner.settled(); }, m_scanner);
        return apply(found) && writeUpTo(settled);
    }

    bool finish()
    {
        FoundReferences found;
        std::visit([&](auto &scanner) { scanner.finish(found); }, m_scanner);
        return apply(found) && writeUpTo(m_written + m_held.size());
    }

private:
    bool apply(const FoundReferences &found)
    {
        for (const FoundReference &reference : found) {
            if (reference.start < m_written)
                continue;
            const std::optional<QByteArray> text = m_replace(reference);
            if (!text)
                continue;
            if (!writeUpTo(reference.start) || m_out.write(*text) != text->size())
                return false;
            m_held.remove(0, reference.end - m_written);
            m_written = reference.end;
        }
        return true;
    }

    bool writeUpTo(qint64 offset)
    {
        const qint64 count = std::min<qint64>(offset - m_written, m_held.size());
        if (count <= 0)
            return true;
        if (m_out.write(m_held.constData(), count) != count)
            return false;
        m_held.remove(0, count);
        m_written += count;
        return true;
    }

    QIODevice &m_out;
    Scanner &m_scanner;
    Replace m_replace;
    QByteArray m_held; // the file's bytes from m_written on, not yet written
    qint64 m_written = 0;
};

} // namespace

LinkConverter::LinkConverter(MirrorIndex &index)
    : m_index(index)
{ }

bool LinkConverter::isConvertible(const QString &path, const QString &mediaType)
{
    if (LinkCollector::kindOf(path, mediaType) == ReferenceFinder::Kind::Stylesheet)
        return true;
    return mediaType.isEmpty() ? hasHtmlName(path) : isHtmlType(mediaType);
}

QString LinkConverter::relativePath(const QString &fromDirectory, const QString &toFile)
{
    const QStringList from = fromDirectory.split(u'/', Qt::SkipEmptyParts);
    const QStringList to = toFile.split(u'/', Qt::SkipEmptyParts);
    qsizetype common = 0;
    while (common < from.size() && common + 1 < to.size() && from.at(common) == to.at(common))
        ++common;
    QString path;
    for (qsizetype up = common; up < from.size(); ++up)
        path += QStringLiteral("../");
    for (qsizetype step = common; step < to.size(); ++step) {
        if (step > common)
            path += u'/';
        path += QString::fromLatin1(QUrl::toPercentEncoding(to.at(step)));
    }
    return path;
}

bool LinkConverter::convert(const QString &url)
{
    const QString path = m_index.pathOf(url);
    const QString mediaType = m_index.typeOf(url);
    QFile in(path);
    const QDateTime modified = QFileInfo(path).lastModified();
    if (!in.open(QIODevice::ReadOnly))
        return false;
    Page page;
    page.directory = path.left(path.lastIndexOf(u'/') + 1);
    page.converted = m_index.isConverted(url);
    const bool stylesheet = LinkCollector::kindOf(path, mediaType) == ReferenceFinder::Kind::Stylesheet;
    page.base = stylesheet || page.converted ? m_index.sourceOf(url) : baseOf(path, m_index.sourceOf(url));

    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    Rewrite::Scanner scanner = stylesheet ? Rewrite::Scanner(CssScanner()) : Rewrite::Scanner(MarkupScanner());
    Rewrite rewrite(out, scanner, [&](const FoundReference &reference) { return replacement(reference, page); });
    QByteArray buffer(inet::ReadSize, Qt::Uninitialized);
    bool written = true;
    for (qint64 count = in.read(buffer.data(), inet::ReadSize); written && count > 0;
         count = in.read(buffer.data(), inet::ReadSize))
        written = rewrite.feed(QByteArrayView(buffer.constData(), count));
    if (!written || !rewrite.finish() || !out.commit())
        return false;
    // The copy keeps the server's time, which later conditional requests send.
    QFile done(path);
    if (modified.isValid() && done.open(QIODevice::ReadOnly))
        done.setFileTime(modified, QFileDevice::FileModificationTime);
    m_index.setConverted(url, true);
    return true;
}

QString LinkConverter::baseOf(const QString &path, const QString &source) const
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return source;
    MarkupScanner scanner;
    FoundReferences found;
    QByteArray buffer(inet::ReadSize, Qt::Uninitialized);
    for (qint64 count = file.read(buffer.data(), inet::ReadSize); count > 0;
         count = file.read(buffer.data(), inet::ReadSize))
        scanner.feed(QByteArrayView(buffer.constData(), count), found);
    scanner.finish(found);
    for (const FoundReference &reference : std::as_const(found)) {
        if (reference.kind == FoundReference::Base)
            return LinkResolver::absolute(LinkResolver::text(reference.text), source);
    }
    return source;
}

std::optional<QByteArray> LinkConverter::replacement(const FoundReference &reference, const Page &page) const
{
    // A rewritten page's relative references stand on the file itself.
    if (reference.kind == FoundReference::Base)
        return reference.text == OwnDirectory.toLatin1() ? std::nullopt : std::optional(OwnDirectory.toLatin1());
    const qsizetype mark = reference.text.indexOf('#');
    const QByteArray target = mark < 0 ? reference.text : reference.text.left(mark);
    const QByteArray fragment = mark < 0 ? QByteArray() : reference.text.mid(mark);
    const QString text = LinkResolver::text(target);
    if (text.trimmed().isEmpty() || LinkResolver::hasForeignScheme(text))
        return std::nullopt;
    QString url;
    if (page.converted && !LinkResolver::isAbsolute(text)) {
        url = m_index.urlAt(QDir::cleanPath(page.directory + QUrl::fromPercentEncoding(target)));
        if (url.isEmpty())
            return std::nullopt;
    } else {
        url = LinkResolver::absolute(text, page.base);
    }
    const QString copy = m_index.pathOf(url);
    const bool kept = m_index.urlAt(copy) == LinkResolver::key(url) && QFileInfo(copy).size() > 0;
    const QByteArray written = (kept ? relativePath(page.directory, copy) : url).toUtf8() + fragment;
    if (written == reference.text)
        return std::nullopt;
    return escapedFor(reference, written);
}
