#pragma once

#include "platform/inet/FtpEntry.h"

#include <QByteArray>
#include <QDateTime>

namespace inet::FtpListingParser {

// The entries of an MLSD answer ("fact=value;...; name" lines). The entries for
// the directory itself and its parent (types cdir and pdir) are left out.
FtpEntries parseMlsd(const QByteArray &listing);

// Whether a listed name can stand for an entry of the listed directory: never
// "." or "..", never holding a "/" or a NUL. Such a name from a broken or hostile
// server would lead the client outside the directories it reads and writes.
bool isEntryName(const QString &name);

// One "modify" fact (YYYYMMDDHHMMSS[.sss], UTC); invalid when malformed.
QDateTime parseMlsdTime(QByteArrayView value);

// The date column of a Unix-style LIST line ("Dec  8 17:24" or "Dec  8  2025").
// A time of day is read as UTC, and such an entry, which has no year, is dated
// within the year before now. A day with a year is that day at local midnight.
QDateTime parseListTime(QByteArrayView text, const QDateTime &now);

} // namespace inet::FtpListingParser
