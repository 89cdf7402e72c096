// The FTP listing parsers on arbitrary server answers. Invariants: every entry
// has a name that stays inside the listed directory and a size of no less than
// 0; dates are valid or absent, never a crash.
#include "FuzzCheck.h"
#include "platform/inet/FtpListingParser.h"

#include <QByteArray>
#include <QDateTime>
#include <QTimeZone>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray answer(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const inet::FtpEntry &entry : inet::FtpListingParser::parseMlsd(answer)) {
        check(inet::FtpListingParser::isEntryName(entry.name));
        check(!entry.name.contains(u'/') && entry.name != u".." && entry.name != u".");
        check(entry.size >= 0);
    }
    const QDateTime now(QDate(2026, 12, 9), QTime(12, 0), QTimeZone::utc());
    const QDateTime listed = inet::FtpListingParser::parseListTime(answer, now);
    check(!listed.isValid() || listed <= now.addDays(1) || !answer.contains(':'));
    inet::FtpListingParser::parseMlsdTime(answer);
    return 0;
}
