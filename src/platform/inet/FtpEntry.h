#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QString>

namespace inet {

// One entry of a remote FTP directory.
struct FtpEntry
{
    QString name; // for display: the server's bytes as UTF-8, or as Windows-1250 when they are not UTF-8
    QByteArray rawName; // the server's own bytes, used in every request for the entry
    bool directory = false;
    bool link = false; // a symbolic link: its target may be a directory or a file
    qint64 size = 0; // bytes
    QDateTime lastWrite; // invalid when the server gave no date
};

using FtpEntries = QList<FtpEntry>;

} // namespace inet

Q_DECLARE_METATYPE(inet::FtpEntry)
Q_DECLARE_METATYPE(inet::FtpEntries)
