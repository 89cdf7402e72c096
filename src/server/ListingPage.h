#pragma once

#include "server/ResponseBody.h"
#include "server/SystemFacts.h"

#include <QDateTime>
#include <QList>
#include <QString>

// The generated page of a directory: an information column about the machine,
// the directory's entries (directories first, then files, each group by name)
// as links with date, time and size, and a total line. It goes out in pieces:
// the header, then every 20 entries, then the rest with the footer.
class ListingPage : public ResponseBody
{
public:
    static constexpr int EntriesPerPiece = 20;

    struct Entry
    {
        QString name;
        bool directory = false;
        QDateTime modified;
        qint64 size = 0;
    };

    struct Source
    {
        SystemFacts facts;
        QString servedDirectory; // shown in the title
        QString targetName; // shown as the heading
        QString requestPath; // decoded; the links start with it
        QString directory; // the directory to read; empty or missing: the not-found line
    };

    explicit ListingPage(const Source &source);

    // False when the directory could not be read or has no entries.
    bool hasEntries() const { return !m_entries.isEmpty(); }
    bool nextPiece(QByteArray &piece) override;

    // Directories first, then files; within each, by name ignoring case. A
    // symbolic link is listed only when it leads to something inside servedDirectory.
    static QList<Entry> readDirectory(const QString &directory, const QString &servedDirectory);
    // Right-aligned in width with commas between groups of three; blank for 0 when blankZero.
    static QString groupedNumber(qint64 value, int width, bool blankZero = true);
    // One row of the table, for an entry under the link prefix.
    static QString row(const Entry &entry, const QString &linkPrefix);

private:
    QString header() const;
    QString footer() const;

    Source m_source;
    QList<Entry> m_entries;
    QString m_linkPrefix;
    qsizetype m_next = 0;
    qint64 m_bytes = 0;
    bool m_headerSent = false;
    bool m_done = false;
};
