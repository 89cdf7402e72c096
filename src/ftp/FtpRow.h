#pragma once

#include "platform/inet/FtpEntry.h"

#include <QList>
#include <QMetaType>
#include <QString>

// One row of the FTP window's list. The kind is also the row's icon number,
// except that archives and links get icons of their own.
struct FtpRow
{
    // A link may lead to a directory or a file: only trying tells.
    enum Kind { Parent = 1, Directory = 2, File = 3, Link = 4 };
    enum Icon { ParentIcon = 1, DirectoryIcon = 2, FileIcon = 3, ArchiveIcon = 4, LinkIcon = 5 };

    Kind kind = File;
    QString name; // the server's own spelling, decoded for display
    QString date; // yyyy.mm.dd hh:mm, local time
    QString size; // Kb
    QByteArray rawName; // the server's own bytes, used for every request
    qint64 bytes = -1; // a file's size as listed; -1 when not known

    // A directory when the server says so; a file's size in Kb: "1" below 1,024
    // bytes, else whole kilobytes; an empty file shows no size.
    static FtpRow fromEntry(const inet::FtpEntry &entry);

    // The list shows names in lower case.
    QString shownName() const { return name.toLower(); }
    Icon icon() const;
    // What a right-click offers to download: files, and links that may be files.
    bool isDownloadable() const { return kind == File || kind == Link; }
};

using FtpRows = QList<FtpRow>;

Q_DECLARE_METATYPE(FtpRow)
Q_DECLARE_METATYPE(FtpRows)
