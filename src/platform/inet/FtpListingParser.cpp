#include "platform/inet/FtpListingParser.h"

#include "platform/Windows1250.h"

#include <QList>
#include <QStringDecoder>
#include <QTimeZone>

namespace inet::FtpListingParser {

namespace {

QDateTime utc(QDate date, QTime time)
{
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time, QTimeZone::utc());
}

int month(QByteArrayView name)
{
    static constexpr const char *names[]
        = { "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec" };
    const QByteArray lower = name.toByteArray().toLower();
    for (int i = 0; i < 12; ++i) {
        if (lower == names[i])
            return i + 1;
    }
    return 0;
}

bool isDigits(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// A whole-number column; -1 when it is none.
qint64 number(QByteArrayView text)
{
    bool ok = false;
    const qint64 value = isDigits(text) ? text.toLongLong(&ok) : -1;
    return ok ? value : -1;
}

QList<QByteArrayView> lines(const QByteArray &listing)
{
    QList<QByteArrayView> result;
    QByteArrayView rest(listing);
    while (!rest.isEmpty()) {
        const qsizetype end = rest.indexOf('\n');
        QByteArrayView line = end < 0 ? rest : rest.first(end);
        rest = end < 0 ? QByteArrayView() : rest.sliced(end + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        result.append(line);
    }
    return result;
}

// The blank-separated columns of a line, each with where it ends in the line.
struct Column
{
    QByteArrayView text;
    qsizetype end = 0;
};

QList<Column> columns(QByteArrayView line, int most)
{
    QList<Column> result;
    qsizetype at = 0;
    while (at < line.size() && result.size() < most) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t'))
            ++at;
        const qsizetype start = at;
        while (at < line.size() && line[at] != ' ' && line[at] != '\t')
            ++at;
        if (at > start)
            result.append({ line.sliced(start, at - start), at });
    }
    return result;
}

// The entry's name and kind are complete; it is kept when the name is one.
void keep(FtpEntries &entries, FtpEntry entry, QByteArrayView raw)
{
    entry.rawName = raw.toByteArray();
    entry.name = displayName(entry.rawName);
    if (isEntryName(entry.name) && !entry.rawName.contains('/') && !entry.rawName.contains('\0'))
        entries.append(std::move(entry));
}

bool unixEntry(FtpEntries &entries, QByteArrayView line, const QDateTime &now)
{
    const QList<Column> parts = columns(line, 12);
    if (parts.size() < 6 || parts[0].text.size() < 10 || !QByteArrayView("-dlbcps").contains(parts[0].text[0]))
        return false;
    // Servers differ in the columns before the size (no group, no link count), so
    // the date is found by its shape: month, day, then a time or a year.
    for (qsizetype m = 2; m + 2 < parts.size(); ++m) {
        const qint64 day = number(parts[m + 1].text);
        const qint64 size = number(parts[m - 1].text);
        if (!month(parts[m].text) || day < 1 || day > 31 || size < 0)
            continue;
        const qsizetype dateStart = parts[m].end - parts[m].text.size();
        const QDateTime date = parseListTime(line.sliced(dateStart, parts[m + 2].end - dateStart), now);
        if (!date.isValid())
            continue;
        // The name follows the date after one blank, and keeps any blanks of its own.
        QByteArrayView name = line.sliced(qMin(line.size(), parts[m + 2].end + 1));
        FtpEntry entry;
        entry.lastWrite = date;
        const char type = parts[0].text[0];
        entry.directory = type == 'd';
        entry.link = type == 'l';
        if (entry.link) {
            const qsizetype arrow = name.indexOf(" -> ");
            if (arrow >= 0)
                name = name.first(arrow);
        } else if (!entry.directory) {
            entry.size = size;
        }
        keep(entries, std::move(entry), name);
        return true;
    }
    return false;
}

bool dosEntry(FtpEntries &entries, QByteArrayView line)
{
    const QList<Column> parts = columns(line, 4);
    if (parts.size() < 4)
        return false;
    qsizetype kind = 2;
    QByteArray time = parts[1].text.toByteArray();
    // Some servers put a blank between the time and its AM or PM.
    const QByteArray half = parts[2].text.toByteArray().toUpper();
    if (half == "AM" || half == "PM") {
        time += half;
        kind = 3;
    }
    FtpEntry entry;
    entry.lastWrite = parseDosTime(parts[0].text, time);
    if (!entry.lastWrite.isValid() || kind >= parts.size())
        return false;
    const QByteArrayView sizeColumn = parts[kind].text;
    if (sizeColumn.compare("<DIR>", Qt::CaseInsensitive) == 0) {
        entry.directory = true;
    } else {
        // Some servers group the digits of the size with commas or dots.
        QByteArray digits = sizeColumn.toByteArray();
        digits.replace(',', QByteArray()).replace('.', QByteArray());
        entry.size = number(digits);
        if (entry.size < 0)
            return false;
    }
    qsizetype start = parts[kind].end;
    while (start < line.size() && (line[start] == ' ' || line[start] == '\t'))
        ++start;
    keep(entries, std::move(entry), line.sliced(start));
    return true;
}

FtpEntry mlsdEntry(QByteArrayView line, bool *wanted)
{
    FtpEntry entry;
    *wanted = false;
    // The facts end at the first "; " : the name follows and may itself hold ';' or ' '.
    const qsizetype split = line.indexOf("; ");
    if (split < 0)
        return entry;
    entry.rawName = line.sliced(split + 2).toByteArray();
    entry.name = displayName(entry.rawName);
    bool typed = false;
    const QList<QByteArray> facts = line.first(split).toByteArray().split(';');
    for (const QByteArray &fact : facts) {
        const qsizetype equals = fact.indexOf('=');
        if (equals <= 0)
            continue;
        const QByteArray key = fact.first(equals).toLower();
        const QByteArrayView value = QByteArrayView(fact).sliced(equals + 1);
        if (key == "type") {
            const QByteArray type = value.toByteArray().toLower();
            if (type == "cdir" || type == "pdir")
                return entry;
            entry.directory = type == "dir";
            entry.link = type == "os.unix=symlink" || type == "os.unix=slink";
            typed = true;
        } else if (key == "size") {
            // A size that is no count of bytes tells nothing.
            entry.size = qMax<qint64>(number(value), 0);
        } else if (key == "modify") {
            entry.lastWrite = parseMlsdTime(value);
        }
    }
    *wanted = typed && isEntryName(entry.name) && !entry.rawName.contains('/');
    return entry;
}

} // namespace

FtpEntries parseMlsd(const QByteArray &listing)
{
    FtpEntries entries;
    for (const QByteArrayView line : lines(listing)) {
        bool wanted = false;
        FtpEntry entry = mlsdEntry(line, &wanted);
        if (wanted)
            entries.append(std::move(entry));
    }
    return entries;
}

FtpEntries parseList(const QByteArray &listing, const QDateTime &now)
{
    FtpEntries entries;
    for (const QByteArrayView line : lines(listing)) {
        if (!unixEntry(entries, line, now))
            dosEntry(entries, line);
    }
    return entries;
}

bool isEntryName(const QString &name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') && !name.contains(QChar(0));
}

QString displayName(const QByteArray &raw)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(raw);
    return utf8.hasError() ? Windows1250::decode(raw) : text;
}

QDateTime parseMlsdTime(QByteArrayView value)
{
    if (value.size() < 14 || !isDigits(value.first(14)))
        return {};
    const QByteArray digits = value.first(14).toByteArray();
    auto field = [&](int from, int length) { return digits.mid(from, length).toInt(); };
    return utc(QDate(field(0, 4), field(4, 2), field(6, 2)), QTime(field(8, 2), field(10, 2), field(12, 2)));
}

QDateTime parseListTime(QByteArrayView text, const QDateTime &now)
{
    const QList<QByteArray> parts = text.toByteArray().simplified().split(' ');
    if (parts.size() != 3)
        return {};
    const int monthNumber = month(parts[0]);
    bool dayOk = false;
    const int day = parts[1].toInt(&dayOk);
    if (!monthNumber || !dayOk)
        return {};
    const QByteArray &last = parts[2];
    if (!last.contains(':')) {
        bool yearOk = false;
        const QDate date(last.toInt(&yearOk), monthNumber, day);
        // Only the day is known: it stays that day wherever the client is, rather
        // than an invented midnight moved into the day before or after.
        return yearOk && date.isValid() ? QDateTime(date, QTime(0, 0)) : QDateTime();
    }
    const QTime time = QTime::fromString(QString::fromLatin1(last), QStringLiteral("H:mm"));
    const QDateTime nowUtc = now.toUTC();
    QDateTime guess = utc(QDate(nowUtc.date().year(), monthNumber, day), time);
    // Servers give the time instead of the year for the last six months or so;
    // a date more than a day ahead belongs to last year.
    if (guess.isValid() && guess > nowUtc.addDays(1))
        guess = utc(QDate(nowUtc.date().year() - 1, monthNumber, day), time);
    return guess;
}

QDateTime parseDosTime(QByteArrayView date, QByteArrayView time)
{
    const QList<QByteArray> day = date.toByteArray().split('-');
    if (day.size() != 3 || day[0].size() != 2 || day[1].size() != 2 || (day[2].size() != 2 && day[2].size() != 4))
        return {};
    qint64 year = number(day[2]);
    if (day[2].size() == 2 && year >= 0)
        year += year >= 69 ? 1900 : 2000;
    const QDate calendarDay(int(year), int(number(day[0])), int(number(day[1])));

    QByteArray clock = time.toByteArray().toUpper();
    const bool twelveHour = clock.endsWith("AM") || clock.endsWith("PM");
    const bool afternoon = clock.endsWith("PM");
    if (twelveHour)
        clock.chop(2);
    const qsizetype colon = clock.indexOf(':');
    if (colon < 1 || colon > 2 || clock.size() - colon != 3)
        return {};
    qint64 hour = number(QByteArrayView(clock).first(colon));
    const qint64 minute = number(QByteArrayView(clock).sliced(colon + 1));
    if (twelveHour) {
        if (hour < 1 || hour > 12)
            return {};
        // 12:xxAM is just after midnight, 12:xxPM just after noon.
        hour = hour % 12 + (afternoon ? 12 : 0);
    }
    const QTime clockTime { int(hour), int(minute) };
    if (!calendarDay.isValid() || !clockTime.isValid() || hour < 0 || minute < 0)
        return {};
    return QDateTime(calendarDay, clockTime);
}

} // namespace inet::FtpListingParser
