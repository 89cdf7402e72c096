#include "server/HttpDate.h"

#include <QLocale>

namespace HttpDate {

QByteArray format(const QDateTime &time)
{
    return QLocale::c().toString(time.toUTC(), u"ddd, dd MMM yyyy hh:mm:ss 'GMT'").toLatin1();
}

QDateTime parse(QByteArrayView text)
{
    // Runs of blanks (asctime pads a one-digit day) count as one.
    const QString simple = QString::fromLatin1(text.toByteArray()).simplified();
    const QLocale c = QLocale::c();
    static const QString Forms[] = {
        QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'"),
        QStringLiteral("dddd, dd-MMM-yy hh:mm:ss 'GMT'"),
        QStringLiteral("ddd MMM d hh:mm:ss yyyy"),
    };
    for (const QString &form : Forms) {
        QDateTime time = c.toDateTime(simple, form);
        if (!time.isValid())
            continue;
        time.setTimeSpec(Qt::UTC);
        // A two-digit year lies within the fifty years around now.
        if (time.date().year() < 1970)
            time = time.addYears(100);
        return time;
    }
    return {};
}

} // namespace HttpDate
