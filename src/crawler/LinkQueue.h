#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include <array>
#include <deque>
#include <optional>

// The link queue: one row per distinct URL with its class. A row waits while
// its class is below Taken and is taken once (Taken is added). The next row is
// always one of the lowest waiting class, oldest first, found without a sort;
// the duplicate check is a hash look-up of the lower-cased URL.
class LinkQueue
{
public:
    enum Class : int {
        SitePicture = 1, // a picture inside the site, to be fetched
        SiteFile = 5, // any other file inside the site, to be fetched
        SiteKept = 8, // inside the site, a non-empty local copy exists and overwriting is off
        Outside = 9, // outside the site
        Taken = 10,
    };

    struct Row
    {
        QString url; // as it was referenced
        int cls = 0;
    };

    // The class of a new URL.
    static int classify(bool picture, bool inside, bool present, bool overwrite);

    // Whether the URL is known: queued, or marked known.
    bool contains(const QString &url) const;
    // Appends a row for a URL that is not known yet; its index.
    int append(const QString &url, int cls);
    // Counts the URL as known without a row (the start page of a crawl).
    void markKnown(const QString &url);
    // Takes the next waiting row (its class gains Taken); none when nothing waits.
    std::optional<int> takeNext();
    // A fetch of the row brought nothing: it waits again one class higher, unless
    // it has had its last try (a picture after class 4, a file after class 8).
    // Returns whether it waits again.
    bool retry(int index);

    int indexOf(const QString &url) const;
    const Row &row(int index) const { return m_rows.at(index); }
    int size() const { return int(m_rows.size()); }
    int waiting() const;
    void clear();

private:
    void enqueue(int index);

    QList<Row> m_rows;
    QHash<QString, int> m_index; // lower-cased URL -> row, -1 for marked-only URLs
    std::array<std::deque<int>, Taken> m_waiting; // one line per class
};
