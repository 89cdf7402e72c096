// Request heads, their byte ranges and dates, and path mapping on arbitrary
// bytes: whatever a client sends, a range lies within the file and the mapped
// path never leaves the served directory.
#include "FuzzCheck.h"
#include "server/ByteRange.h"
#include "server/HttpDate.h"
#include "server/PathMapper.h"
#include "server/RequestHead.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

struct Tree
{
    QTemporaryDir parent;
    QString root;
    Tree()
    {
        root = parent.filePath(QStringLiteral("www/"));
        QDir().mkpath(root + QStringLiteral("Sub/Deeper"));
        QDir().mkpath(parent.filePath(QStringLiteral("outside")));
        QFile(root + QStringLiteral("Sub/Index.HTM")).open(QIODevice::WriteOnly);
        QFile::link(parent.filePath(QStringLiteral("outside")), root + QStringLiteral("out"));
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Tree tree;
    static const PathMapper mapper(tree.root);
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype headEnd = RequestHead::endOf(bytes);
    check(headEnd <= bytes.size());
    const RequestHead head = RequestHead::parse(bytes);
    for (const qint64 fileSize : { qint64(0), qint64(1), qint64(16), qint64(1) << 40 }) {
        const ByteRange range = ByteRange::parse(head.range, fileSize);
        if (range.kind == ByteRange::Kind::Part)
            check(range.first >= 0 && range.first <= range.last && range.last < fileSize);
    }
    HttpDate::parse(head.ifModifiedSince);
    const RequestLine &request = head.line;
    if (!request.answerable())
        return 0;
    QByteArray path = request.path;
    if (path.startsWith('/'))
        path.remove(0, 1);
    const PathMapper::Result result = mapper.map(path);
    using Verdict = PathMapper::Verdict;
    if (result.verdict == Verdict::File || result.verdict == Verdict::Directory || result.verdict == Verdict::Missing) {
        check(result.localPath.startsWith(tree.root));
        const QString canonical = QFileInfo(result.localPath).canonicalFilePath();
        check(canonical.isEmpty() || QString(canonical + u'/').startsWith(QFileInfo(tree.root).canonicalFilePath()));
        check(!result.localPath.contains(QStringLiteral("/../")) && !result.localPath.endsWith(QStringLiteral("/..")));
    }
    return 0;
}
