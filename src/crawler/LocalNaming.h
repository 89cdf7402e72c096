#pragma once

#include <QString>

// Where a URL's copy lives in the local mirror: one directory per host and per
// directory level of the URL under the root, and a lower-case file name made
// from the URL's last path step. Every path it gives stays under the root, and no
// part of a URL is cut: a step too long for the file system is shortened with a
// digest of the whole step, so two different steps never share a name.
class LocalNaming
{
public:
    explicit LocalNaming(const QString &root);

    QString root() const { return m_root; }
    // root/host/dir/.../ (always ends with "/").
    QString localDirectory(const QString &url) const;
    // The directory followed by the file name.
    QString localPath(const QString &url) const;

    // "host/dir/.../" of the URL, lower case, relative to the root.
    static QString relativeDirectory(const QString &url);
    // index.htm, dir.htm, findcgia1&bxy.htm, pic.gif ...
    static QString fileName(const QString &url);
    // The URL up to and including the last "/" of its path ("http://h/d/p.htm" ->
    // "http://h/d/"; "http://h" -> "http://h/"). Relative references are completed
    // with it, and for the start Address it names the site.
    static QString directoryUrl(const QString &url);
    // scheme://host[:port]/ of the URL: what a root-relative reference starts from.
    static QString serverRoot(const QString &url);
    // "http", "https", "ftp" ... or empty.
    static QString scheme(const QString &url);

private:
    QString m_root;
};
