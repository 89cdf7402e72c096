// Feeds arbitrary pages to the link scan (in pieces of every size the input
// picks) and every reference it finds to the URL resolution and the mirror
// naming. Invariants: the scan finds the same references whatever the pieces,
// and every local path stays under the root with no "." or ".." step.
#include "FuzzCheck.h"
#include "crawler/LinkResolver.h"
#include "crawler/LinkScanner.h"
#include "crawler/LocalNaming.h"

#include <QDir>
#include <QString>

#include <cstdint>

namespace {

const QString Root = QStringLiteral("/srv/mirror");
const QString Page = QStringLiteral("http://host:8080/a/b/page.htm");

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
