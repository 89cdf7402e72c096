#pragma once

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

// The text of a private-profile file as its lines, so that one value can be
// read or replaced while every other line, comment and blank line stays as it
// was. Section and key names match case-insensitively; the first matching
// section and, in it, the first matching key are the ones that count.
class IniDocument
{
public:
    // Lines may end in CRLF or LF.
    static IniDocument parse(const QString &text);

    // The text after the first "=" of the key's line, without trailing blanks;
    // nullopt when the section or the key is missing.
    std::optional<QString> value(const QString &section, const QString &key) const;
    // value() of each key, in one pass over the section.
    QList<std::optional<QString>> values(const QString &section, const QStringList &keys) const;
    // Replaces the key's value in place, or adds the key after the last
    // non-blank line of its section, or adds the section at the end.
    // Returns whether the text changed.
    bool setValue(const QString &section, const QString &key, const QString &value);
    // setValue() of each entry in order, in one pass over the section.
    bool setValues(const QString &section, const QList<QPair<QString, QString>> &entries);

    // Every line ended by CRLF.
    QString toText() const;

private:
    struct Range
    {
        qsizetype header; // the section's "[...]" line
        qsizetype end; // one past its last line
    };

    std::optional<Range> findSection(const QString &section) const;
    class KeyFinder;

    QStringList m_lines;
};
