#pragma once

#include "platform/inet/FtpEntry.h"

#include <QByteArray>
#include <QDateTime>

namespace inet::FtpListingParser {

// The entries of an MLSD answer ("fact=value;...; name" lines). The entries for
// the directory itself and its parent (types cdir and pdir) are left out.
FtpEntries parseMlsd(const QByteArray &listing);

// The entries of a LIST answer, line by line in either of the styles servers use:
// Unix ("drwxr-xr-x 2 owner group 4096 Mar  5  2024 name", links as
// "name -> target") or DOS/IIS ("12-09-26  07:16PM  <DIR>  name"). Lines of
// neither style ("total 12") give no entry. now dates Unix lines without a year.
FtpEntries parseList(const QByteArray &listing, const QDateTime &now);

// Whether a listed name can stand for an entry of the listed directory: never
// "." or "..", never holding a "/" or a NUL. Such a name from a broken or hostile
// server would lead the client outside the directories it reads and writes.
bool isEntryName(const QString &name);

// A name as the server sent it, for display: UTF-8 when the bytes are valid
// UTF-8, else Windows-1250 (the code page of Croatian Windows servers).
QString displayName(const QByteArray &raw);

// One "modify" fact (YYYYMMDDHHMMSS[.sss], UTC); invalid when malformed.
QDateTime parseMlsdTime(QByteArrayView value);

// The date column of a Unix-style LIST line ("Dec  8 17:24" or "Dec  8  2025").
// A time of day is read as UTC, and such an entry, which has no year, is dated
// within the year before now. A day with a year is that day at local midnight.
QDateTime parseListTime(QByteArrayView text, const QDateTime &now);

// The date and time columns of a DOS-style line ("12-09-26", "07:16PM"; years
// of four digits and a 24-hour clock too). Two-digit years 69..99 are 1969..1999,
// 00..68 are 2000..2068. The server's clock time is kept as it is, with no zone
// (such listings name none). Invalid when malformed.
QDateTime parseDosTime(QByteArrayView date, QByteArrayView time);

} // namespace inet::FtpListingParser
