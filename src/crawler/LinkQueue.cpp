#include "crawler/LinkQueue.h"

#include "crawler/LinkResolver.h"

int LinkQueue::classify(bool picture, bool inside, bool present, bool overwrite)
{
    if (!inside)
        return Outside;
    if (present && !overwrite)
        return SiteKept;
    return picture ? SitePicture : SiteFile;
}

bool LinkQueue::contains(const QString &url) const
{
    return m_index.contains(LinkResolver::key(url));
}

int LinkQueue::append(const QString &url, int cls)
{
    const int index = int(m_rows.size());
    m_rows.append({ url, cls });
    m_index.insert(LinkResolver::key(url), index);
    if (cls < Taken)
        enqueue(index);
    return index;
}

void LinkQueue::markKnown(const QString &url)
{
    const QString key = LinkResolver::key(url);
    if (!m_index.contains(key))
        m_index.insert(key, -1);
}

std::optional<int> LinkQueue::takeNext()
{
    for (std::deque<int> &line : m_waiting) {
        if (line.empty())
            continue;
        const int index = line.front();
        line.pop_front();
        m_rows[index].cls += Taken;
        return index;
    }
    return std::nullopt;
}

bool LinkQueue::retry(int index)
{
    Row &row = m_rows[index];
    if (row.cls < Taken)
        return false;
    const int cls = row.cls - Taken;
    if (cls == 4 || cls >= SiteKept || cls < SitePicture)
        return false;
    row.cls = cls + 1;
    enqueue(index);
    return true;
}

int LinkQueue::indexOf(const QString &url) const
{
    return m_index.value(LinkResolver::key(url), -1);
}

int LinkQueue::waiting() const
{
    int count = 0;
    for (const std::deque<int> &line : m_waiting)
        count += int(line.size());
    return count;
}

void LinkQueue::clear()
{
    m_rows.clear();
    m_index.clear();
    for (std::deque<int> &line : m_waiting)
        line.clear();
}

void LinkQueue::enqueue(int index)
{
    m_waiting[m_rows.at(index).cls].push_back(index);
}
