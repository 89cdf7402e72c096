#include "platform/IniDocument.h"

#include "platform/TrailingBlanks.h"

namespace {

// The section name of a "[name]" line, or nullopt for any other line.
std::optional<QStringView> sectionName(QStringView line)
{
    const QStringView trimmed = line.trimmed();
    if (!trimmed.startsWith(u'['))
        return std::nullopt;
    const qsizetype close = trimmed.indexOf(u']');
    return trimmed.sliced(1, (close < 0 ? trimmed.size() : close) - 1).trimmed();
}

// The key of a "key=value" line, or nullopt for comments and other lines.
std::optional<QStringView> keyName(QStringView line)
{
    const QStringView trimmed = line.trimmed();
    if (trimmed.startsWith(u';') || trimmed.startsWith(u'['))
        return std::nullopt;
    const qsizetype equals = line.indexOf(u'=');
    if (equals < 0)
        return std::nullopt;
    return line.first(equals).trimmed();
}

bool sameName(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString folded(QStringView name)
{
    return name.toString().toCaseFolded();
}

} // namespace

IniDocument IniDocument::parse(const QString &text)
{
    IniDocument document;
    document.m_lines = text.split(u'\n');
    if (document.m_lines.last().isEmpty())
        document.m_lines.removeLast();
    for (QString &line : document.m_lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
    }
    return document;
}

std::optional<IniDocument::Range> IniDocument::findSection(const QString &section) const
{
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const auto name = sectionName(m_lines.at(i));
        if (!name || !sameName(*name, section))
            continue;
        qsizetype end = i + 1;
        while (end < m_lines.size() && !sectionName(m_lines.at(end)))
            ++end;
        return Range { i, end };
    }
    return std::nullopt;
}

// Finds the first line of a key within a section: by a scan for a few keys, by
// an index of the section's keys for many.
class IniDocument::KeyFinder
{
public:
    KeyFinder(const QStringList &lines, Range range, qsizetype lookups)
        : m_lines(lines)
        , m_range(range)
    {
        constexpr qsizetype ScanLimit = 8;
        if (lookups <= ScanLimit)
            return;
        m_index.emplace();
        // Backwards, so that the first line of a key given twice is the one kept.
        for (qsizetype i = range.end - 1; i > range.header; --i) {
            if (const auto name = keyName(m_lines.at(i)))
                m_index->insert(folded(*name), i);
        }
    }

    std::optional<qsizetype> find(const QString &key) const
    {
        if (m_index) {
            const auto line = m_index->constFind(folded(key));
            return line == m_index->cend() ? std::nullopt : std::optional(*line);
        }
        for (qsizetype i = m_range.header + 1; i < m_range.end; ++i) {
            const auto name = keyName(m_lines.at(i));
            if (name && sameName(*name, key))
                return i;
        }
        return std::nullopt;
    }

private:
    const QStringList &m_lines;
    Range m_range;
    std::optional<QHash<QString, qsizetype>> m_index;
};

std::optional<QString> IniDocument::value(const QString &section, const QString &key) const
{
    return values(section, { key }).constFirst();
}

QList<std::optional<QString>> IniDocument::values(const QString &section, const QStringList &keys) const
{
    QList<std::optional<QString>> found(keys.size());
    const auto range = findSection(section);
    if (!range)
        return found;
    const KeyFinder finder(m_lines, *range, keys.size());
    for (qsizetype i = 0; i < keys.size(); ++i) {
        if (const auto line = finder.find(keys.at(i))) {
            const QString &text = m_lines.at(*line);
            found[i] = withoutTrailingBlanks(text.mid(text.indexOf(u'=') + 1));
        }
    }
    return found;
}

bool IniDocument::setValue(const QString &section, const QString &key, const QString &value)
{
    return setValues(section, { { key, value } });
}

bool IniDocument::setValues(const QString &section, const QList<QPair<QString, QString>> &entries)
{
    const auto range = findSection(section);
    if (!range) {
        if (!m_lines.isEmpty() && !m_lines.last().trimmed().isEmpty())
            m_lines.append(QString());
        m_lines.append(u'[' + section + u']');
    }
    const Range within = range.value_or(Range { m_lines.size() - 1, m_lines.size() });
    bool changed = !range;
    QStringList added;
    QHash<QString, qsizetype> addedIndex;
    {
        const KeyFinder finder(m_lines, within, entries.size());
        for (const auto &[key, value] : entries) {
            if (const auto line = finder.find(key)) {
                QString &text = m_lines[*line];
                const qsizetype valueStart = text.indexOf(u'=') + 1;
                // Stored trailing blanks go too: a value is never stored with them.
                if (QStringView(text).sliced(valueStart) != value) {
                    text = text.left(valueStart) + value;
                    changed = true;
                }
                continue;
            }
            // A key given twice in one batch is added once, with its last value.
            const QString name = folded(key);
            if (const auto index = addedIndex.constFind(name); index != addedIndex.cend()) {
                QString &text = added[*index];
                text = text.left(text.indexOf(u'=') + 1) + value;
            } else {
                addedIndex.insert(name, added.size());
                added.append(key + u'=' + value);
            }
        }
    }
    if (added.isEmpty())
        return changed;
    qsizetype insertAt = within.end;
    while (insertAt > within.header + 1 && m_lines.at(insertAt - 1).trimmed().isEmpty())
        --insertAt;
    m_lines = m_lines.first(insertAt) + added + m_lines.sliced(insertAt);
    return true;
}

QString IniDocument::toText() const
{
    QString text;
    for (const QString &line : m_lines)
        text += line + u"\r\n";
    return text;
}
