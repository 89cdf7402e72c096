#pragma once

#include "platform/SettingKeys.h"

#include <QHash>
#include <QString>

#include <initializer_list>
#include <span>

class SettingsFile;

// A default that depends on the machine (the working directory, the home directory).
struct SettingOverride
{
    SettingName key;
    QString value;
};

// The values of one tool window's keys, with the rules every tool shares:
// - load(): only when the first key is present and not empty are all keys read,
//   in table order; text is cut to its capacity, numbers and flags take the
//   numeric value (0 for text that is not a number);
// - save(): every key is written in table order, text clipped of trailing blanks,
//   numbers and flags in decimal;
// - process-wide keys live in one store per tool shared by all its windows;
//   per-window keys live in this object.
// Thread-safe: the shared store is guarded; one ToolSettings belongs to one engine.
class ToolSettings
{
public:
    // keys: the tool's span from SettingKeys.
    explicit ToolSettings(std::span<const SettingKey> keys, std::initializer_list<SettingOverride> overrides = {});

    // Applies the first-key rule; returns whether the keys were read.
    bool load(const SettingsFile &file);
    // Writes every key with its current value, as one replacement of the file;
    // false when the file could not be written.
    bool save(SettingsFile &file) const;

    // A key is named as in the table ("SHTTPurl"); a name the table lacks does
    // not compile, a key of another tool reads empty and takes no value.
    QString text(SettingName key) const;
    qint32 number(SettingName key) const;
    bool flag(SettingName key) const { return number(key) != 0; }

    // Text is cut to the key's capacity.
    void setText(SettingName key, const QString &value);
    void setNumber(SettingName key, qint32 value);
    void setFlag(SettingName key, bool on) { setNumber(key, on ? 1 : 0); }

    // For tests only: forgets what earlier windows left in the process-wide
    // keys, so each test starts from the defaults.
    static void resetSharedValues();

private:
    const SettingKey &keyFor(SettingName key) const;
    QString normalised(const SettingKey &key, const QString &value) const;
    QString stored(const SettingKey &key) const;
    void store(const SettingKey &key, const QString &value);

    std::span<const SettingKey> m_keys;
    QHash<QString, QString> m_defaults; // by key name: the table's default or the override
    QHash<QString, QString> m_perWindow; // the per-window keys' current values
};
