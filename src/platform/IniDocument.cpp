#include "platform/IniDocument.h"

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QString withoutTrailingBlanks(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && isBlank(text.at(end - 1)))
        --end;
    return text.left(end);
}

// The section name of a "[name]" line, or nullopt for any other line.
std::optional<QString> sectionName(const QString &line)
{
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith(u'['))
        return std::nullopt;
    const qsizetype close = trimmed.indexOf(u']');
    return trimmed.mid(1, close < 0 ? -1 : close - 1).trimmed();
}

// The key of a "key=value" line, or nullopt for comments and other lines.
std::optional<QString> keyName(const QString &line)
{
    const QString trimmed = line.trimmed();
    if (trimmed.startsWith(u';') || trimmed.startsWith(u'['))
        return std::nullopt;
    const qsizetype equals = line.indexOf(u'=');
    if (equals < 0)
        return std::nullopt;
    return line.left(equals).trimmed();
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
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
        return Range{i, end};
    }
    return std::nullopt;
}

std::optional<qsizetype> IniDocument::findKey(const Range &range, const QString &key) const
{
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        const auto name = keyName(m_lines.at(i));
        if (name && sameName(*name, key))
            return i;
    }
    return std::nullopt;
}

std::optional<QString> IniDocument::value(const QString &section, const QString &key) const
{
    const auto range = findSection(section);
    if (!range)
        return std::nullopt;
    const auto line = findKey(*range, key);
    if (!line)
        return std::nullopt;
    const QString &text = m_lines.at(*line);
    return withoutTrailingBlanks(text.mid(text.indexOf(u'=') + 1));
}

void IniDocument::setValue(const QString &section, const QString &key, const QString &value)
{
    const auto range = findSection(section);
    if (!range) {
        if (!m_lines.isEmpty() && !m_lines.last().trimmed().isEmpty())
            m_lines.append(QString());
        m_lines.append(u'[' + section + u']');
        m_lines.append(key + u'=' + value);
        return;
    }
    if (const auto line = findKey(*range, key)) {
        QString &text = m_lines[*line];
        text = text.left(text.indexOf(u'=') + 1) + value;
        return;
    }
    qsizetype insertAt = range->end;
    while (insertAt > range->header + 1 && m_lines.at(insertAt - 1).trimmed().isEmpty())
        --insertAt;
    m_lines.insert(insertAt, key + u'=' + value);
}

QString IniDocument::toText() const
{
    QString text;
    for (const QString &line : m_lines)
        text += line + u"\r\n";
    return text;
}
