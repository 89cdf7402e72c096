#include "platform/TrailingBlanks.h"

QString withoutTrailingBlanks(QStringView text)
{
    qsizetype end = text.size();
    while (end > 0 && (text.at(end - 1) == u' ' || text.at(end - 1) == u'\t'))
        --end;
    return text.first(end).toString();
}
