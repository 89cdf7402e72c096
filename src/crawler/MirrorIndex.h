#pragma once

#include "crawler/LocalNaming.h"

#include <QHash>
#include <QSet>
#include <QString>

// Which local file holds which URL's copy. The first URL that wants a name gets
// it as the naming rules make it; a later, different URL whose name another URL
// already holds, whose file would stand where a directory is, or whose
// directory where a file is, gets a name of its own derived from its whole URL,
// so that it is the same in every crawl. Two URLs therefore never share a file.
//
// The index also keeps the address each copy came from after redirects, and
// the validators the server gave it, and keeps all of it in one record file
// (beside the Settings file, never inside the mirror's host directories), so a
// later crawl finds each URL's own copy again.
class MirrorIndex
{
public:
    struct Entry
    {
        QString path; // absolute local path
        QString source; // the address after redirects; empty: the URL itself
        QString etag; // the server's entity tag of the copy, as sent
        QString type; // the media type the server gave it ("text/css"); empty when unknown
        bool converted = false; // its links were rewritten for browsing offline
    };

    // root: the mirror's root; recordPath: the record file.
    MirrorIndex(const QString &root, const QString &recordPath);

    const LocalNaming &naming() const { return m_naming; }
    QString recordPath() const { return m_recordPath; }

    // The local path of the URL's copy, assigned the first time it is asked for.
    QString pathFor(const QString &url);
    // The path assigned to the URL, or the one the naming rules give it when none is yet.
    QString pathOf(const QString &url) const;
    // The address the URL's copy came from: where its relative references stand.
    QString sourceOf(const QString &url) const;
    void setSource(const QString &url, const QString &finalUrl);
    QString etagOf(const QString &url) const;
    void setEtag(const QString &url, const QString &etag);
    QString typeOf(const QString &url) const;
    void setType(const QString &url, const QString &type);
    bool isConverted(const QString &url) const;
    void setConverted(const QString &url, bool converted);
    // The URL whose copy this local path holds; empty when none does.
    QString urlAt(const QString &path) const;

    // Reads the record file (a missing one is an empty record).
    void load();
    // Replaces the record file with what the index holds now, when anything changed.
    bool save();
    void clear();

    // "name~digest.ext": the name another URL holds, made distinct by the URL.
    static QString distinctName(const QString &name, const QString &url);

private:
    Entry &entryFor(const QString &url);
    // Sets a field of an entry, and marks the record for saving when that changes it.
    template<typename Value>
    void change(Value &field, const Value &value)
    {
        if (field == value)
            return;
        field = value;
        m_changed = true;
    }
    QString assign(const QString &url);
    // The path with each directory step that a file stands in the way of made distinct.
    QString freeDirectories(const QString &path);
    bool isHeldFile(const QString &path, const QString &key) const;
    bool isDirectory(const QString &path);
    bool isFile(const QString &path);
    void claim(const QString &key, const QString &path);

    LocalNaming m_naming;
    QString m_recordPath;
    QHash<QString, Entry> m_entries; // by the URL's key
    QHash<QString, QString> m_owners; // local path -> the key of the URL that holds it
    QSet<QString> m_directories; // directories of assigned paths (ending with "/")
    QHash<QString, char> m_disk; // what a path is on disk when first looked at: 'd', 'f' or '-'
    bool m_changed = false;
};
