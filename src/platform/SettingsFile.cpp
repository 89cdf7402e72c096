#include "platform/SettingsFile.h"

#include "platform/IniDocument.h"
#include "platform/TrailingBlanks.h"
#include "platform/Windows1250.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QStringDecoder>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype NameLimit = 63;
constexpr qsizetype ValueLimit = 1023;
constexpr mode_t NewFileMode = 0600; // the file holds the FTP password

// Every profile access of the process goes through this one lock.
QMutex &profileLock()
{
    static QMutex lock;
    return lock;
}

QString limited(const QString &text, qsizetype limit)
{
    return withoutTrailingBlanks(withoutTrailingBlanks(text).left(limit));
}

QString sectionOrKeyName(const QString &name)
{
    return limited(name, NameLimit);
}

// A name that a line of the file can hold and give back.
bool isUsableName(const QString &name, bool isSection)
{
    if (name.trimmed().isEmpty() || name.contains(u'\n') || name.contains(u'\r'))
        return false;
    if (isSection)
        return !name.contains(u']');
    return !name.contains(u'=') && !name.trimmed().startsWith(u'[') && !name.trimmed().startsWith(u';');
}

// A line break in a value would end its line and let the rest pose as keys.
QString storableValue(QString value)
{
    value.replace(u'\r', u' ');
    value.replace(u'\n', u' ');
    return limited(value, ValueLimit);
}

QString decodedLine(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return Windows1250::decode(bytes.toByteArray());
}

// Line by line: a line added in Windows-1250 to a file of UTF-8 lines (or the
// other way round) leaves the other lines' letters as they are, so the next
// write does not turn them into different ones.
QString decoded(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size());
    qsizetype start = 0;
    while (start < bytes.size()) {
        const qsizetype newline = bytes.indexOf('\n', start);
        const qsizetype end = newline < 0 ? bytes.size() : newline + 1;
        text += decodedLine(QByteArrayView(bytes).sliced(start, end - start));
        start = end;
    }
    return text;
}

// The existing file whose name matches case-insensitively (the exact name first),
// else the given name.
QString resolve(const QString &fileName)
{
    const QFileInfo given(fileName);
    if (given.exists())
        return given.absoluteFilePath();
    const QDir dir = given.absoluteDir();
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString &entry : entries) {
        if (entry.compare(given.fileName(), Qt::CaseInsensitive) == 0)
            return dir.absoluteFilePath(entry);
    }
    return given.absoluteFilePath();
}

// nullopt when the file exists but cannot be read: a write must then fail
// rather than replace it with the one key it was given.
std::optional<IniDocument> load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QFileInfo::exists(path) ? std::nullopt : std::optional(IniDocument::parse(QString()));
    return IniDocument::parse(decoded(file.readAll()));
}

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

void syncDirectory(const QString &dir)
{
    const int fd = ::open(QFile::encodeName(dir).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

QString temporaryPrefix(const QFileInfo &target)
{
    return u'.' + target.fileName() + u".tmp-"_s;
}

QString temporaryName(const QFileInfo &target)
{
    static std::atomic<unsigned> counter { 0 };
    return target.absolutePath() + u'/' + temporaryPrefix(target) + QString::number(::getpid()) + u'-'
        + QString::number(counter++);
}

// A process killed in the middle of a write leaves its temporary file behind;
// the first write of this process to a file removes those of processes that
// no longer run. Called under the profile lock.
void removeAbandonedTemporaries(const QFileInfo &target)
{
    static QSet<QString> swept;
    if (swept.contains(target.absoluteFilePath()))
        return;
    swept.insert(target.absoluteFilePath());
    const QString prefix = temporaryPrefix(target);
    QDir dir = target.absoluteDir();
    const QStringList entries = dir.entryList({ prefix + u'*' }, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &entry : entries) {
        bool ok = false;
        const pid_t pid = entry.sliced(prefix.size()).section(u'-', 0, 0).toInt(&ok);
        if (ok && pid > 0 && pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH)
            dir.remove(entry);
    }
}

// Writes the whole text to a temporary file beside the target, forces it to the
// disk and renames it over the target, so a reader only ever sees the old or the
// new file. An existing file keeps its mode (and a link keeps pointing to it).
bool replaceFile(const QString &path, const QString &text)
{
    QFileInfo target(path);
    if (target.isSymLink() && target.exists())
        target = QFileInfo(target.canonicalFilePath());
    mode_t mode = NewFileMode;
    if (target.exists()) {
        struct stat st
        {
        };
        const QByteArray native = QFile::encodeName(target.absoluteFilePath());
        if (::stat(native.constData(), &st) != 0 || ::access(native.constData(), W_OK) != 0)
            return false;
        mode = st.st_mode & 07777;
    }
    const QString tempPath = temporaryName(target);
    const QByteArray tempNative = QFile::encodeName(tempPath);
    const int fd = ::open(tempNative.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, NewFileMode);
    if (fd < 0)
        return false;
    bool ok = writeAll(fd, text.toUtf8()) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(tempNative.constData(), QFile::encodeName(target.absoluteFilePath()).constData()) == 0;
    if (!ok) {
        ::unlink(tempNative.constData());
        return false;
    }
    syncDirectory(target.absolutePath());
    removeAbandonedTemporaries(target);
    return true;
}

} // namespace

SettingsFile::SettingsFile(const QString &fileName)
    : m_fileName(fileName)
{ }

SettingsFile SettingsFile::standard()
{
    return SettingsFile(QStringLiteral("TORVEX.INI"));
}

QString SettingsFile::resolvedPath() const
{
    QMutexLocker locker(&profileLock());
    return resolve(m_fileName);
}

QString SettingsFile::read(const QString &section, const QString &key) const
{
    return readMany(section, { key }).constFirst();
}

QStringList SettingsFile::readMany(const QString &section, const QStringList &keys) const
{
    QStringList values;
    values.reserve(keys.size());
    for (const auto &value : readPresent(section, keys))
        values.append(value.value_or(QString()));
    return values;
}

QList<std::optional<QString>> SettingsFile::readPresent(const QString &section, const QStringList &keys) const
{
    const QString sectionName = sectionOrKeyName(section);
    QStringList names;
    names.reserve(keys.size());
    for (const QString &key : keys)
        names.append(sectionOrKeyName(key));
    QMutexLocker locker(&profileLock());
    const IniDocument document = load(resolve(m_fileName)).value_or(IniDocument::parse(QString()));
    locker.unlock();
    QList<std::optional<QString>> values = document.values(sectionName, names);
    for (auto &value : values) {
        if (value)
            value->truncate(ValueLimit);
    }
    return values;
}

qint32 SettingsFile::readNumber(const QString &section, const QString &key) const
{
    return numericValue(read(section, key));
}

qint32 SettingsFile::numericValue(const QString &text)
{
    const QString trimmed = text.trimmed();
    bool ok = false;
    const qint32 whole = trimmed.toInt(&ok, 10);
    if (ok)
        return whole;
    // A decimal fraction is a number too; it counts by its whole part.
    const double real = trimmed.toDouble(&ok);
    const bool plainDecimal = !trimmed.contains(u'e', Qt::CaseInsensitive);
    if (ok && plainDecimal && real > -2147483649.0 && real < 2147483648.0)
        return qint32(real);
    return 0;
}

bool SettingsFile::write(const QString &section, const QString &key, const QString &value)
{
    return writeMany(section, { { key, value } });
}

bool SettingsFile::writeNumber(const QString &section, const QString &key, qint64 value)
{
    return write(section, key, QString::number(value));
}

bool SettingsFile::writeMany(const QString &section, const QList<QPair<QString, QString>> &entries)
{
    const QString sectionName = sectionOrKeyName(section);
    if (!isUsableName(sectionName, true))
        return false;
    QList<QPair<QString, QString>> stored;
    stored.reserve(entries.size());
    for (const auto &[key, value] : entries) {
        const QString keyName = sectionOrKeyName(key);
        if (!isUsableName(keyName, false))
            return false;
        stored.append({ keyName, storableValue(value) });
    }
    QMutexLocker locker(&profileLock());
    const QString path = resolve(m_fileName);
    std::optional<IniDocument> document = load(path);
    if (!document)
        return false;
    if (!document->setValues(sectionName, stored) && QFileInfo::exists(path))
        return true;
    return replaceFile(path, document->toText());
}
