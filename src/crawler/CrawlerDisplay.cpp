#include "crawler/CrawlerDisplay.h"

#include "crawler/LocalFiles.h"

#include <QFile>

namespace {

// The events of one fetch the log keeps (the latest ones).
constexpr qsizetype EventRows = 64;
// A picture larger than this is not previewed: the window would hold it whole.
constexpr qint64 PreviewLimit = 4 * 1024 * 1024;
constexpr auto DefaultInterval = std::chrono::milliseconds(100);

} // namespace

CrawlerDisplay::CrawlerDisplay(const LocalFiles &files, QObject *parent)
    : QObject(parent)
    , m_files(files)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(DefaultInterval);
    connect(&m_timer, &QTimer::timeout, this, &CrawlerDisplay::due);
}

void CrawlerDisplay::changed()
{
    if (!m_timer.isActive())
        m_timer.start();
}

void CrawlerDisplay::filesChanged(const QList<int> &rows)
{
    if (rows.isEmpty())
        return;
    for (const int row : rows)
        m_changedFiles.insert(row);
    changed();
}

void CrawlerDisplay::resetFiles()
{
    m_filesReset = true;
    m_changedFiles.clear();
    changed();
}

void CrawlerDisplay::addError(const EventLogRow &row)
{
    m_errors.append(row);
    changed();
}

void CrawlerDisplay::addEvent(const EventLogRow &row)
{
    m_events.append(row);
    if (m_events.size() > EventRows)
        m_events.remove(0, m_events.size() - EventRows);
    m_eventsChanged = true;
    changed();
}

void CrawlerDisplay::clearEvents()
{
    m_events.clear();
    m_eventsChanged = true;
    changed();
}

void CrawlerDisplay::clearLog()
{
    m_errors.clear();
    m_events.clear();
    m_logReset = true;
    changed();
}

void CrawlerDisplay::pictureSaved(const QString &path)
{
    m_picture = path;
    changed();
}

CrawlerUpdate CrawlerDisplay::take(const Figures &figures)
{
    m_timer.stop();
    CrawlerUpdate update;
    update.status = figures.status;
    update.bytes = figures.bytes;
    update.rate = figures.rate;
    update.pageCounter = figures.pageCounter;
    update.header = figures.header;
    update.running = figures.running;

    const int count = m_files.size();
    if (m_filesReset) {
        update.filesReset = true;
        for (int row = 0; row < count; ++row)
            update.fileIndices.append(row);
    } else {
        QList<int> rows(m_changedFiles.cbegin(), m_changedFiles.cend());
        for (int row = m_shownFiles; row < count; ++row) {
            if (!m_changedFiles.contains(row))
                rows.append(row);
        }
        std::sort(rows.begin(), rows.end());
        update.fileIndices = rows;
    }
    for (const int row : std::as_const(update.fileIndices))
        update.fileRows.append(m_files.row(row));
    m_filesReset = false;
    m_changedFiles.clear();
    m_shownFiles = count;

    update.logReset = m_logReset;
    update.errorsAdded = m_errors.mid(m_logReset ? 0 : m_shownErrors);
    m_shownErrors = int(m_errors.size());
    update.eventsChanged = m_eventsChanged || m_logReset;
    if (update.eventsChanged)
        update.events = m_events;
    m_logReset = false;
    m_eventsChanged = false;

    if (m_picture != m_shownPicture) {
        m_shownPicture = m_picture;
        update.previewPath = m_picture;
        update.previewBytes = previewBytes(m_picture);
    }
    return update;
}

QByteArray CrawlerDisplay::previewBytes(const QString &path) const
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > PreviewLimit)
        return {};
    return file.readAll();
}
