#include "server/ContentTypes.h"

#include <QMimeDatabase>

namespace {

struct Gap
{
    QLatin1StringView suffix;
    QLatin1StringView type;
};

// Debian 12's database has no WebAssembly, which a browser streams only under its own type.
constexpr Gap Gaps[] = {
    { QLatin1StringView("wasm"), QLatin1StringView("application/wasm") },
};

QString suffixOf(const QString &fileName)
{
    const qsizetype slash = fileName.lastIndexOf(u'/');
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot > slash + 1 ? fileName.sliced(dot + 1).toLower() : QString();
}

} // namespace

QByteArray ContentTypes::of(const QString &fileName)
{
    const QString suffix = suffixOf(fileName);
    const auto known = m_known.constFind(suffix);
    if (known != m_known.cend())
        return *known;
    QByteArray type;
    for (const Gap &gap : Gaps) {
        if (suffix == gap.suffix)
            type = QByteArray(gap.type.data(), gap.type.size());
    }
    if (type.isEmpty()) {
        const QString probe = suffix.isEmpty() ? QStringLiteral("x") : QStringLiteral("x.") + suffix;
        type = QMimeDatabase().mimeTypeForFile(probe, QMimeDatabase::MatchExtension).name().toLatin1();
    }
    m_known.insert(suffix, type);
    return type;
}
