#include "crawler/DownloadWorkerStatus.h"

#include "crawler/InternetStatusText.h"

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
    qsizetype end = m_field.size();
    while (end > 0 && m_field.at(end - 1) == u' ')
        --end;
    return m_field.left(end);
}
