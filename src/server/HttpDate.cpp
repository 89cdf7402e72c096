#include "server/HttpDate.h"

#include <QLocale>

namespace HttpDate {

QByteArray format(const QDateTime &time)
{
    return QLocale::c().toString(time.toUTC(), u"ddd, dd MMM yyyy hh:mm:ss 'GMT'").toLatin1();
}

QDateTime parse(QByteArrayView text)
{
    // Runs of blanks (asctime pads a one-digit day) count as one. The day's
    // name says nothing the date does not, and a two-digit year would make
    // it disagree with the century Qt assumes: it is left out.
    QString simple = QString::fromLatin1(text.toByteArray()).simplified();
    simple.remove(0, simple.indexOf(u' ') + 1);
    const QLocale c = QLocale::c();
    static const QString Forms[] = {
        QStringLiteral("dd MMM yyyy hh:mm:ss 'GMT'"),
        QStringLiteral("dd-MMM-yy hh:mm:ss 'GMT'"),
        QStringLiteral("MMM d hh:mm:ss yyyy"),
    };
    for (const QString &form : Forms) {
        QDateTime time = c.toDateTime(simple, form);
        if (!time.isValid())
            continue;
        time.setTimeSpec(Qt::UTC);
        // A two-digit year below 70 belongs to this century.
        if (time.date().year() < 1970)
            time = time.addYears(100);
        return time;
    }
    return {};
}

} // namespace HttpDate
