// The FTP listing parsers (MLSD, Unix and DOS LIST) on arbitrary server answers. Invariants: every entry
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
    const QDateTime now(QDate(2026, 12, 9), QTime(12, 0), QTimeZone::utc());
    for (const inet::FtpEntries &entries :
        { inet::FtpListingParser::parseMlsd(answer), inet::FtpListingParser::parseList(answer, now) }) {
        for (const inet::FtpEntry &entry : entries) {
            check(inet::FtpListingParser::isEntryName(entry.name));
            check(!entry.name.contains(u'/') && entry.name != u".." && entry.name != u".");
            check(!entry.rawName.contains('/') && !entry.rawName.isEmpty());
            check(entry.size >= 0);
        }
    }
    const qsizetype blank = answer.indexOf(' ');
    if (blank >= 0)
        inet::FtpListingParser::parseDosTime(answer.first(blank), answer.sliced(blank + 1));
    const QDateTime listed = inet::FtpListingParser::parseListTime(answer, now);
    check(!listed.isValid() || listed <= now.addDays(1) || !answer.contains(':'));
    inet::FtpListingParser::parseMlsdTime(answer);
    return 0;
}
