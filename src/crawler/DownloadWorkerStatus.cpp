#include "crawler/DownloadWorkerStatus.h"

#include "crawler/InternetStatusText.h"
#include "platform/TrailingBlanks.h"

namespace {

const QString ErrorPrefix = QStringLiteral("Error: ");

} // namespace

DownloadWorkerStatus::DownloadWorkerStatus()
{
    clear();
}

void DownloadWorkerStatus::notify(int code)
{
    const QString text = InternetStatusText::text(code).left(NotificationWidth).leftJustified(NotificationWidth);
    m_field.replace(0, NotificationWidth, text);
}

void DownloadWorkerStatus::setError(int code)
{
    m_field = QString(ErrorPrefix + QString::number(code)).leftJustified(Width, u' ', true);
}

void DownloadWorkerStatus::clear()
{
    m_field = QString(Width, u' ');
}

QString DownloadWorkerStatus::shown() const
{
    return withoutTrailingBlanks(m_field);
}
