#include "platform/ToolSettings.h"

#include "platform/SettingsFile.h"

#include <QDebug>
#include <QMutex>
#include <QStringList>

namespace {

// The process-wide keys of every tool, by key name; a key that is absent still
// holds its default.
struct SharedValues
{
    QMutex lock;
    QHash<QString, QString> values;
};

SharedValues &shared()
{
    static SharedValues store;
    return store;
}

QString nameOf(const SettingKey &key)
{
    return QString::fromLatin1(key.name);
}

} // namespace

ToolSettings::ToolSettings(std::span<const SettingKey> keys, std::initializer_list<SettingOverride> overrides)
    : m_keys(keys)
{
    QHash<QString, QString> machineDefaults;
    for (const SettingOverride &override : overrides)
        machineDefaults.insert(nameOf(keyFor(override.key)), override.value);
    for (const SettingKey &key : m_keys) {
        const QString name = nameOf(key);
        const QString value = normalised(key, machineDefaults.value(name, QString::fromLatin1(key.defaultValue)));
        m_defaults.insert(name, value);
        if (key.scope == KeyScope::PerWindow)
            m_perWindow.insert(name, value);
    }
}

void ToolSettings::resetSharedValues()
{
    QMutexLocker locker(&shared().lock);
    shared().values.clear();
}

bool ToolSettings::load(const SettingsFile &file)
{
    if (m_keys.empty())
        return false;
    QStringList names;
    for (const SettingKey &key : m_keys)
        names.append(nameOf(key));
    const QStringList values = file.readMany(SettingsFile::toolSection(), names);
    if (values.constFirst().isEmpty())
        return false;
    for (std::size_t i = 0; i < m_keys.size(); ++i)
        store(m_keys[i], values.at(qsizetype(i)));
    return true;
}

bool ToolSettings::save(SettingsFile &file) const
{
    QList<QPair<QString, QString>> entries;
    for (const SettingKey &key : m_keys)
        entries.append({ nameOf(key), stored(key) });
    return file.writeMany(SettingsFile::toolSection(), entries);
}

QString ToolSettings::text(SettingName key) const
{
    return stored(keyFor(key));
}

qint32 ToolSettings::number(SettingName key) const
{
    return SettingsFile::numericValue(stored(keyFor(key)));
}

void ToolSettings::setText(SettingName key, const QString &value)
{
    store(keyFor(key), value);
}

void ToolSettings::setNumber(SettingName key, qint32 value)
{
    store(keyFor(key), QString::number(value));
}

const SettingKey &ToolSettings::keyFor(SettingName key) const
{
    const SettingKey *candidate = &key.key();
    if (!m_keys.empty() && candidate >= &m_keys.front() && candidate <= &m_keys.back())
        return *candidate;
    // A key of another tool is a mistake in the calling code; it reads as empty
    // and takes no value rather than ending the program.
    qWarning("ToolSettings: %s is not a key of this tool", candidate->name);
    static const SettingKey unknown { "", KeyKind::Text, 0, KeyScope::PerWindow, "" };
    return unknown;
}

QString ToolSettings::normalised(const SettingKey &key, const QString &value) const
{
    switch (key.kind) {
    case KeyKind::Text:
        return value.left(key.capacity);
    case KeyKind::Integer:
        return QString::number(SettingsFile::numericValue(value));
    case KeyKind::Flag:
        return SettingsFile::numericValue(value) != 0 ? QStringLiteral("1") : QStringLiteral("0");
    }
    return value;
}

QString ToolSettings::stored(const SettingKey &key) const
{
    const QString name = nameOf(key);
    if (key.scope == KeyScope::PerWindow)
        return m_perWindow.value(name);
    QMutexLocker locker(&shared().lock);
    const auto it = shared().values.constFind(name);
    return it != shared().values.cend() ? *it : m_defaults.value(name);
}

void ToolSettings::store(const SettingKey &key, const QString &value)
{
    const QString name = nameOf(key);
    if (name.isEmpty())
        return;
    if (key.scope == KeyScope::PerWindow) {
        m_perWindow.insert(name, normalised(key, value));
        return;
    }
    QMutexLocker locker(&shared().lock);
    shared().values.insert(name, normalised(key, value));
}
