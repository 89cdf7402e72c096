#pragma once

#include "crawler/FoundReference.h"

#include <QString>

#include <optional>

class MirrorIndex;

// Makes a mirror browse offline: it rewrites a saved page or stylesheet in
// place so that each reference to a URL that has a local copy becomes the
// relative path to that copy, and each other one its absolute URL; no other
// byte of the file changes. A rewritten file is rewritten again without harm:
// its relative paths are read back as the copies they name.
class LinkConverter
{
public:
    explicit LinkConverter(MirrorIndex &index);

    // Whether the crawler rewrites this file: a page or a stylesheet, by the
    // media type the server gave it or, when none is known, by its name.
    static bool isConvertible(const QString &path, const QString &mediaType);

    // Rewrites the copy of url; false when it could not be read or replaced.
    bool convert(const QString &url);

    // The path from a directory to a file of the mirror, each step
    // percent-encoded so that a browser opens exactly that file.
    static QString relativePath(const QString &fromDirectory, const QString &toFile);

private:
    struct Page
    {
        QString directory; // of the file, with its final "/"
        QString base; // what its relative references stand on
        bool converted = false; // its links were rewritten before
    };

    // The new text of a reference; none when it stays as written.
    std::optional<QByteArray> replacement(const FoundReference &reference, const Page &page) const;
    QString baseOf(const QString &path, const QString &source) const;

    MirrorIndex &m_index;
};
