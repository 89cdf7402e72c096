// The Settings file's document on arbitrary file text and arbitrary writes.
// Invariants: what is written reads back; a write touches no other key; a batch
// (looked up through an index) reads and writes as the same keys one by one
// (looked up by a scan); the text reads back as itself.
#include "FuzzCheck.h"
#include "platform/IniDocument.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QList>
#include <QPair>
#include <QString>

#include <cstdint>

namespace {

// Names and values as the Settings file hands them down: no line breaks, no
// blanks around names or after values, no "]" in a section, no "=" in a key and
// no key that poses as a section or a comment.
QString line(FuzzedDataProvider &input, size_t length)
{
    QString text = QString::fromUtf8(input.ConsumeRandomLengthString(length));
    text.remove(u'\r');
    text.remove(u'\n');
    return text.trimmed();
}

QString sectionName(FuzzedDataProvider &input)
{
    QString name = line(input, 12).remove(u']').trimmed();
    return name.isEmpty() ? QStringLiteral("S") : name;
}

QString keyName(FuzzedDataProvider &input)
{
    QString name = line(input, 12).remove(u'=').trimmed();
    while (name.startsWith(u'[') || name.startsWith(u';'))
        name = name.mid(1).trimmed();
    return name.isEmpty() ? QStringLiteral("k") : name;
}

bool sameKey(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const QString section = sectionName(input);
    QList<QPair<QString, QString>> entries;
    const int count = input.ConsumeIntegralInRange(1, 12);
    for (int i = 0; i < count; ++i)
        entries.append({ keyName(input), line(input, 16) });
    const QString otherSection = sectionName(input);
    const QString otherKey = keyName(input);
    const QString fileText = QString::fromUtf8(input.ConsumeRemainingBytesAsString());

    IniDocument batch = IniDocument::parse(fileText);
    IniDocument single = IniDocument::parse(fileText);
    check(IniDocument::parse(batch.toText()).toText() == batch.toText());
    const std::optional<QString> otherBefore = batch.value(otherSection, otherKey);

    batch.setValues(section, entries);
    for (const auto &[key, value] : entries)
        single.setValue(section, key, value);

    QStringList keys;
    for (const auto &entry : entries)
        keys.append(entry.first);
    const QList<std::optional<QString>> batchRead = batch.values(section, keys);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        // The last value given for a key is the one it keeps.
        QString expected;
        for (const auto &[key, value] : entries) {
            if (sameKey(key, keys.at(i)))
                expected = value;
        }
        check(batchRead.at(i) == expected);
        check(batch.value(section, keys.at(i)) == expected);
        check(single.value(section, keys.at(i)) == expected);
    }

    const bool written = sameKey(otherSection, section) && keys.contains(otherKey, Qt::CaseInsensitive);
    if (!written) {
        check(batch.value(otherSection, otherKey) == otherBefore);
        check(single.value(otherSection, otherKey) == otherBefore);
    }
    check(IniDocument::parse(batch.toText()).toText() == batch.toText());
    return 0;
}
