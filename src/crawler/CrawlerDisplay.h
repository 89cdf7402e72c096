#pragma once

#include "crawler/CrawlerUpdate.h"

#include <QObject>
#include <QSet>
#include <QTimer>

#include <chrono>

class LocalFiles;

// What the Crawler window is sent, at a bounded rate however fast the crawl
// runs: the figures of the current fetch, the rows of the local-files list that
// changed since the last update, the error rows kept for the whole crawl, the
// events of the current fetch, and, with the preview on, the picture saved last.
class CrawlerDisplay : public QObject
{
    Q_OBJECT

public:
    // The figures and texts shown above the lists.
    struct Figures
    {
        QString status;
        qint64 bytes = 0;
        double rate = 0;
        int pageCounter = 0;
        QString header; // empty until the first statistics
        bool running = false;
    };

    explicit CrawlerDisplay(const LocalFiles &files, QObject *parent = nullptr);

    // The most often an update is due.
    void setInterval(std::chrono::milliseconds interval) { m_timer.setInterval(interval); }

    // Something shown has changed: an update is due within the interval.
    void changed();
    void filesChanged(const QList<int> &rows);
    // The whole list is sent again (a new crawl, its end).
    void resetFiles();

    void addError(const EventLogRow &row);
    const EventLogRows &errors() const { return m_errors; }
    // An event of the current fetch; the log keeps its latest ones.
    void addEvent(const EventLogRow &row);
    void clearEvents();
    // The window closes: the log is emptied.
    void clearLog();

    // A picture has been saved; with the preview on the window shows the latest.
    void pictureSaved(const QString &path);

    // The update for the window; nothing is due after it until the next change.
    CrawlerUpdate take(const Figures &figures);

signals:
    void due();

private:
    QByteArray previewBytes(const QString &path) const;

    const LocalFiles &m_files;
    QTimer m_timer { this };
    bool m_filesReset = true;
    QSet<int> m_changedFiles;
    int m_shownFiles = 0;
    EventLogRows m_errors;
    EventLogRows m_events;
    bool m_logReset = true;
    int m_shownErrors = 0;
    bool m_eventsChanged = false;
    QString m_picture;
    QString m_shownPicture;
};
