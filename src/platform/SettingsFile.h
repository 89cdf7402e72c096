#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

// The Settings file: one INI text file (TORVEX.INI in the working directory)
// holding the tools' keys, the windows' placement and the sector list.
//
// Sections and keys match case-insensitively. A read gives the stored text,
// empty for a missing key or file. A write replaces the first matching key's
// value in place, or adds the key at the end of its section, or the section at
// the end of the file, keeping every other line, comment and order. Each line is
// read as UTF-8 when its bytes are valid UTF-8, else as Windows-1250; the file is
// written as UTF-8 with CRLF line ends, atomically (temporary file and rename),
// mode 0600 when new. Every access in the process is serialised by one lock.
class SettingsFile
{
public:
    // The name is resolved at each access: an existing file in the same
    // directory whose name differs only in case is the same file.
    explicit SettingsFile(const QString &fileName);

    // TORVEX.INI in the process's current working directory.
    static SettingsFile standard();

    // Text of at most 1023 characters; section and key are clipped of trailing
    // blanks and limited to 63 characters.
    QString read(const QString &section, const QString &key) const;
    // The numeric value of the stored text; text that is not a number gives 0.
    qint32 readNumber(const QString &section, const QString &key) const;

    // The value is clipped of trailing blanks and limited to 1023 characters; a
    // line break in it becomes a blank, so it can never pose as another key.
    // Returns false when the file could not be written (also when it exists but
    // cannot be read, and for an empty name, a key holding "=" or a section "]").
    bool write(const QString &section, const QString &key, const QString &value);
    bool writeNumber(const QString &section, const QString &key, qint64 value);

    // Several keys of one section in one step: the file is read once, and the
    // values are those of one moment (no write of another thread in between).
    QStringList readMany(const QString &section, const QStringList &keys) const;
    // readMany() that tells a missing key (nullopt) from an empty one.
    QList<std::optional<QString>> readPresent(const QString &section, const QStringList &keys) const;
    // Several keys of one section written in order as one atomic replacement
    // of the file: either all of them are stored or none.
    bool writeMany(const QString &section, const QList<QPair<QString, QString>> &entries);

    // The path in use: the existing file matched case-insensitively, or the given name.
    QString resolvedPath() const;

    // The numeric rule of the file: a decimal number (a fraction counts by its
    // whole part); any other text, or a number beyond 32 bits, gives 0.
    static qint32 numericValue(const QString &text);

    static QString toolSection() { return QStringLiteral("Torvex Settings"); }

private:
    QString m_fileName;
};
