#include "server/ConnectionRegistry.h"

#include "server/HttpConnection.h"

#include <utility>

ConnectionRegistry::ConnectionRegistry(QObject *parent)
    : QObject(parent)
{ }

ConnectionRegistry::~ConnectionRegistry()
{
    clear();
}

void ConnectionRegistry::add(HttpConnection *connection)
{
    m_connections.emplace(connection, Place { m_waiting.insert(m_waiting.end(), connection), true });
}

void ConnectionRegistry::setWaiting(HttpConnection *connection, bool waiting)
{
    const auto found = m_connections.find(connection);
    if (found == m_connections.end())
        return;
    Place &place = found->second;
    Line &from = place.waiting ? m_waiting : m_busy;
    Line &to = waiting ? m_waiting : m_busy;
    to.splice(to.end(), from, place.at);
    place.waiting = waiting;
}

HttpConnection *ConnectionRegistry::oldestWaiting() const
{
    return m_waiting.empty() ? nullptr : m_waiting.front();
}

void ConnectionRegistry::release(HttpConnection *connection)
{
    const auto found = m_connections.find(connection);
    if (found == m_connections.end())
        return;
    (found->second.waiting ? m_waiting : m_busy).erase(found->second.at);
    m_connections.erase(found);
    // One posted event for a whole busy moment rather than one per client.
    if (m_ended.isEmpty())
        QMetaObject::invokeMethod(this, &ConnectionRegistry::deleteEnded, Qt::QueuedConnection);
    m_ended.append(connection);
}

QList<HttpConnection *> ConnectionRegistry::connections() const
{
    QList<HttpConnection *> all;
    all.reserve(size());
    for (const auto &entry : m_connections)
        all.append(entry.first);
    return all;
}

void ConnectionRegistry::clear()
{
    const QList<HttpConnection *> all = connections();
    m_connections.clear();
    m_waiting.clear();
    m_busy.clear();
    qDeleteAll(all);
    deleteEnded();
}

void ConnectionRegistry::deleteEnded()
{
    qDeleteAll(std::exchange(m_ended, {}));
}
