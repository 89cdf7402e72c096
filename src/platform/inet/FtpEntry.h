#pragma once

#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QString>

namespace inet {

// One entry of a remote FTP directory.
struct FtpEntry
{
    QString name; // exactly as the server names it
    bool directory = false;
    qint64 size = 0; // bytes
    QDateTime lastWrite; // invalid when the server gave no date
};

using FtpEntries = QList<FtpEntry>;

} // namespace inet

Q_DECLARE_METATYPE(inet::FtpEntry)
Q_DECLARE_METATYPE(inet::FtpEntries)
