#include "crawler/MirrorIndex.h"

#include "crawler/LinkResolver.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

namespace {

constexpr int DigestChars = 8;
constexpr int NameBytes = 255;
constexpr QChar Separator = u'\t';
const QString ConvertedMark = QStringLiteral("1");

QString digest(const QString &text)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha1).toHex().left(DigestChars));
}

// A value of a record line: no tab or line break of its own.
QString recordValue(QString text)
{
    for (QChar &c : text) {
        if (c == Separator || c == u'\n' || c == u'\r')
            c = u' ';
    }
    return text;
}

QString directoryOf(const QString &path)
{
    return path.left(path.lastIndexOf(u'/') + 1);
}

// A record line's path: relative, without a step that climbs or stands still.
bool isSafeRelative(const QString &path)
{
    if (path.isEmpty() || path.startsWith(u'/'))
        return false;
    for (const QString &step : path.split(u'/')) {
        if (step.isEmpty() || step == u"." || step == u"..")
            return false;
    }
    return true;
}

} // namespace

MirrorIndex::MirrorIndex(const QString &root, const QString &recordPath)
    : m_naming(root)
    , m_recordPath(recordPath)
{ }

QString MirrorIndex::distinctName(const QString &name, const QString &url)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    QString stem = dot > 0 ? name.left(dot) : name;
    const QString suffix = dot > 0 ? name.mid(dot) : QString();
    const QString mark = u'~' + digest(url);
    while (!stem.isEmpty() && (stem + mark + suffix).toUtf8().size() > NameBytes)
        stem.chop(1);
    return stem + mark + suffix;
}

QString MirrorIndex::pathFor(const QString &url)
{
    Entry &entry = entryFor(url);
    if (entry.path.isEmpty()) {
        entry.path = assign(url);
        claim(LinkResolver::key(url), entry.path);
        m_changed = true;
    }
    return entry.path;
}

QString MirrorIndex::pathOf(const QString &url) const
{
    const QString path = m_entries.value(LinkResolver::key(url)).path;
    return path.isEmpty() ? m_naming.localPath(url) : path;
}

QString MirrorIndex::sourceOf(const QString &url) const
{
    const QString source = m_entries.value(LinkResolver::key(url)).source;
    return source.isEmpty() ? url : source;
}

void MirrorIndex::setSource(const QString &url, const QString &finalUrl)
{
    const QString source = LinkResolver::key(finalUrl) == LinkResolver::key(url) ? QString() : recordValue(finalUrl);
    change(entryFor(url).source, source);
}

QString MirrorIndex::etagOf(const QString &url) const
{
    return m_entries.value(LinkResolver::key(url)).etag;
}

void MirrorIndex::setEtag(const QString &url, const QString &etag)
{
    change(entryFor(url).etag, recordValue(etag));
}

QString MirrorIndex::typeOf(const QString &url) const
{
    return m_entries.value(LinkResolver::key(url)).type;
}

void MirrorIndex::setType(const QString &url, const QString &type)
{
    change(entryFor(url).type, recordValue(type));
}

bool MirrorIndex::isConverted(const QString &url) const
{
    return m_entries.value(LinkResolver::key(url)).converted;
}

void MirrorIndex::setConverted(const QString &url, bool converted)
{
    change(entryFor(url).converted, converted);
}

QString MirrorIndex::urlAt(const QString &path) const
{
    return m_owners.value(path);
}

MirrorIndex::Entry &MirrorIndex::entryFor(const QString &url)
{
    return m_entries[LinkResolver::key(url)];
}

QString MirrorIndex::assign(const QString &url)
{
    const QString key = LinkResolver::key(url);
    const QString path = freeDirectories(m_naming.localPath(url));
    const QString directory = directoryOf(path);
    const QString name = path.mid(directory.size());
    QString candidate = path;
    for (int round = 0; isHeldFile(candidate, key) || isDirectory(candidate); ++round)
        candidate = directory + distinctName(name, round == 0 ? key : key + u'#' + QString::number(round));
    return candidate;
}

QString MirrorIndex::freeDirectories(const QString &path)
{
    const QString root = m_naming.root();
    const QStringList steps = path.mid(root.size() + 1).split(u'/');
    QString directory = root;
    for (qsizetype i = 0; i + 1 < steps.size(); ++i) {
        const QString &step = steps.at(i);
        QString candidate = directory + u'/' + step;
        // A directory that another URL's file (or a file on disk) stands in the way of.
        for (int round = 0; isFile(candidate); ++round) {
            const QString seed = candidate.mid(root.size() + 1) + u'/';
            candidate = directory + u'/' + distinctName(step, round == 0 ? seed : seed + u'#' + QString::number(round));
        }
        directory = candidate;
    }
    return directory + u'/' + steps.constLast();
}

bool MirrorIndex::isHeldFile(const QString &path, const QString &key) const
{
    const auto owner = m_owners.constFind(path);
    return owner != m_owners.constEnd() && owner.value() != key;
}

bool MirrorIndex::isDirectory(const QString &path)
{
    if (m_directories.contains(path + u'/'))
        return true;
    if (m_owners.contains(path))
        return false;
    auto found = m_disk.find(path);
    if (found == m_disk.end()) {
        const QFileInfo info(path);
        found = m_disk.insert(path, info.isDir() ? 'd' : (info.exists() ? 'f' : '-'));
    }
    return found.value() == 'd';
}

bool MirrorIndex::isFile(const QString &path)
{
    if (m_owners.contains(path))
        return true;
    if (m_directories.contains(path + u'/'))
        return false;
    return !isDirectory(path) && m_disk.value(path) == 'f';
}

void MirrorIndex::claim(const QString &key, const QString &path)
{
    m_owners.insert(path, key);
    const QString root = m_naming.root();
    for (qsizetype slash = path.indexOf(u'/', root.size() + 1); slash >= 0; slash = path.indexOf(u'/', slash + 1))
        m_directories.insert(path.left(slash + 1));
}

void MirrorIndex::load()
{
    QFile file(m_recordPath);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QString root = m_naming.root() + u'/';
    while (!file.atEnd()) {
        const QStringList fields = QString::fromUtf8(file.readLine()).chopped(1).split(Separator);
        if (fields.size() < 2 || fields.at(0).isEmpty() || !isSafeRelative(fields.at(1)))
            continue;
        const QString &key = fields.at(0);
        const QString path = root + fields.at(1);
        if (m_entries.contains(key) || m_owners.contains(path))
            continue;
        Entry &entry = m_entries[key];
        entry.path = path;
        entry.source = fields.value(2);
        entry.etag = fields.value(3);
        entry.type = fields.value(4);
        entry.converted = fields.value(5) == ConvertedMark;
        claim(key, path);
    }
}

bool MirrorIndex::save()
{
    if (!m_changed)
        return true;
    QSaveFile file(m_recordPath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const qsizetype rootLength = m_naming.root().size() + 1;
    for (auto entry = m_entries.cbegin(); entry != m_entries.cend(); ++entry) {
        if (entry->path.isEmpty())
            continue;
        const QString line = recordValue(entry.key()) + Separator + entry->path.mid(rootLength) + Separator
            + entry->source + Separator + entry->etag + Separator + entry->type + Separator
            + (entry->converted ? ConvertedMark : QString()) + u'\n';
        file.write(line.toUtf8());
    }
    if (!file.commit())
        return false;
    m_changed = false;
    return true;
}

void MirrorIndex::clear()
{
    m_entries.clear();
    m_owners.clear();
    m_directories.clear();
    m_disk.clear();
    m_changed = false;
}
