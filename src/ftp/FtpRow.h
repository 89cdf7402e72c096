#pragma once

#include "platform/inet/FtpEntry.h"

#include <QList>
#include <QMetaType>
#include <QString>

// One row of the FTP window's list. The kind is also the row's icon number,
// except that archives get an icon of their own.
struct FtpRow
{
    enum Kind { Parent = 1, Directory = 2, File = 3 };
    enum Icon { ParentIcon = 1, DirectoryIcon = 2, FileIcon = 3, ArchiveIcon = 4 };

    Kind kind = File;
    QString name; // the server's own spelling, used for every request
    QString date; // yyyy.mm.dd hh:mm, local time
    QString size; // Kb

    // A directory when the server says so; a file's size in Kb: "1" below 1,024
    // bytes, else whole kilobytes; an empty file shows no size.
    static FtpRow fromEntry(const inet::FtpEntry &entry);

    // The list shows names in lower case.
    QString shownName() const { return name.toLower(); }
    Icon icon() const;
};

using FtpRows = QList<FtpRow>;

Q_DECLARE_METATYPE(FtpRow)
Q_DECLARE_METATYPE(FtpRows)
