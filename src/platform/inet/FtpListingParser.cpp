#include "platform/inet/FtpListingParser.h"

#include <QList>
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

FtpEntry mlsdEntry(QByteArrayView line, bool *wanted)
{
    FtpEntry entry;
    *wanted = false;
    // The facts end at the first "; " : the name follows and may itself hold ';' or ' '.
    const qsizetype split = line.indexOf("; ");
    if (split < 0)
        return entry;
    entry.name = QString::fromUtf8(line.sliced(split + 2));
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
            typed = true;
        } else if (key == "size") {
            // A size that is no count of bytes tells nothing.
            bool counted = false;
            entry.size = qMax(value.toLongLong(&counted), 0);
            if (!counted)
                entry.size = 0;
        } else if (key == "modify") {
            entry.lastWrite = parseMlsdTime(value);
        }
    }
    *wanted = typed && isEntryName(entry.name);
    return entry;
}

} // namespace

FtpEntries parseMlsd(const QByteArray &listing)
{
    FtpEntries entries;
    for (const QByteArray &text : listing.split('\n')) {
        QByteArrayView line(text);
        if (line.endsWith('\r'))
            line.chop(1);
        bool wanted = false;
        FtpEntry entry = mlsdEntry(line, &wanted);
        if (wanted)
            entries.append(std::move(entry));
    }
    return entries;
}

bool isEntryName(const QString &name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') && !name.contains(QChar(0));
}

QDateTime parseMlsdTime(QByteArrayView value)
{
    if (value.size() < 14)
        return {};
    const QByteArray digits = value.first(14).toByteArray();
    bool ok = true;
    for (char c : digits)
        ok = ok && c >= '0' && c <= '9';
    if (!ok)
        return {};
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

} // namespace inet::FtpListingParser
