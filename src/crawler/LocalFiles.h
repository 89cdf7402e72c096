#pragma once

#include <QHash>
#include <QList>
#include <QMetaType>
#include <QSet>
#include <QString>

// One row of the local-files list.
struct LocalFileRow
{
    enum Icon : int {
        Queued = 1, // "~insertg": listed, not looked at yet
        Listed = 2, // "~insertb": a file of the finished crawl, or missing during it
        Present = 3, // "~dittog": found on disk during the crawl
        Empty = 4, // "~deleteb": found with no bytes at the end of the crawl
        Missing = 5, // "~deleteg": missing at the end of the crawl, or deleted
    };

    QString path;
    int icon = Queued;
    QString size; // grouped decimal, empty while unknown
    QString time; // dd.mm.yyyy hh:mm:ss, empty while unknown
    qint64 bytes = -1; // -1: not on disk (or not looked at)
};
using LocalFileRows = QList<LocalFileRow>;
Q_DECLARE_METATYPE(LocalFileRow)

// The local-files list with its statistics. After each fetch only the rows whose
// files may have changed are looked up again (new rows, the fetched file, files
// that workers are writing), which gives the figures and icons a pass over every
// row would give, at a cost that does not grow with the list.
class LocalFiles
{
public:
    // The row of a path, added with the queued icon when it is new. One row per path.
    int add(const QString &path);
    int indexOf(const QString &path) const { return m_index.value(path, -1); }
    // The file may have changed: the next pass looks it up.
    void touch(int index);
    // Looked up at every pass until unwatched (a worker is writing it).
    void watch(int index);
    void unwatch(int index);
    // The file was removed on purpose: its row shows the missing mark.
    void markDeleted(int index);

    // The statistics after a fetch; returns the rows it changed.
    QList<int> fetchPass();
    // The statistics at the end of a crawl: every row looked up.
    void endPass();

    qint64 totalBytes() const { return m_total; }
    const LocalFileRow &row(int index) const { return m_rows.at(index); }
    const LocalFileRows &rows() const { return m_rows; }
    int size() const { return int(m_rows.size()); }
    void clear();

    // "Poziv:12 [40]  Uk.:356 Kb"
    static QString header(int pageCounter, int queueSize, qint64 totalBytes);
    static QString sizeText(qint64 bytes);

private:
    // Looks the row's file up; returns whether anything shown changed.
    bool lookUp(int index, int missingIcon, int emptyIcon, int fullIcon);

    LocalFileRows m_rows;
    QHash<QString, int> m_index;
    QSet<int> m_touched;
    QSet<int> m_watched;
    qint64 m_total = 0;
};
