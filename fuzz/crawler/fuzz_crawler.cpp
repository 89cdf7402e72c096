// Feeds arbitrary pages to the link scan (in pieces of every size the input
// picks) and every reference it finds to the URL resolution and the mirror
// naming, and to the scan of the page's markup and CSS that the rewrite of
// links reads. Invariants: each scan finds the same references whatever the
// pieces, each placed reference lies within the page and after the one before,
// and every local path stays under the root with no "." or ".." step.
#include "FuzzCheck.h"
#include "crawler/LinkResolver.h"
#include "crawler/CssScanner.h"
#include "crawler/LinkScanner.h"
#include "crawler/MarkupScanner.h"
#include "crawler/LocalNaming.h"

#include <QDir>
#include <QString>

#include <cstdint>

namespace {

const QString Root = QStringLiteral("/srv/mirror");
const QString Page = QStringLiteral("http://host:8080/a/b/page.htm");

// The placed references of a streamed scan, the same as of the whole text.
template <typename Scanner> void checkPlaced(QByteArrayView text, qsizetype piece)
{
    const FoundReferences whole = Scanner::scan(text);
    Scanner scanner;
    FoundReferences streamed;
    for (qsizetype at = 0; at < text.size(); at += piece)
        scanner.feed(text.sliced(at, std::min(piece, text.size() - at)), streamed);
    scanner.finish(streamed);
    check(streamed.size() == whole.size());
    qint64 last = 0;
    for (qsizetype i = 0; i < whole.size(); ++i) {
        const FoundReference &reference = whole.at(i);
        check(streamed.at(i).start == reference.start && streamed.at(i).end == reference.end);
        check(streamed.at(i).text == reference.text);
        check(reference.start >= last && reference.start < reference.end && reference.end <= text.size());
        last = reference.end;
    }
}

void checkPath(const LocalNaming &naming, const QString &url)
{
    const QString path = naming.localPath(url);
    check(path.startsWith(Root + u'/'));
    check(QDir::cleanPath(path) == path);
    const QString file = LocalNaming::fileName(url);
    check(!file.isEmpty() && !file.contains(u'/') && file != u"." && file != u"..");
    check(file.toUtf8().size() <= 255);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the piece size of the streamed scan.
    const qsizetype piece = 1 + data[0] % 64;
    const QByteArrayView page(reinterpret_cast<const char *>(data) + 1, qsizetype(size) - 1);

    const QList<QByteArray> whole = LinkScanner::scan(page);
    LinkScanner scanner;
    QList<QByteArray> streamed;
    for (qsizetype at = 0; at < page.size(); at += piece)
        scanner.feed(page.sliced(at, std::min(piece, page.size() - at)), streamed);
    scanner.finish(streamed);
    check(streamed == whole);
    checkPlaced<MarkupScanner>(page, piece);
    checkPlaced<CssScanner>(page, piece);

    const LocalNaming naming(Root);
    for (const QByteArray &reference : whole) {
        const QString url = LinkResolver::absolute(LinkResolver::text(reference), Page);
        checkPath(naming, url);
        // The URL as a page of its own, and the reference read as a URL by itself.
        checkPath(naming, LinkResolver::absolute(QStringLiteral("x.htm"), url));
        checkPath(naming, LinkResolver::text(reference));
    }
    checkPath(naming, QString::fromLatin1(page.toByteArray()));
    return 0;
}
