#pragma once

#include <QList>
#include <QObject>

#include <list>
#include <unordered_map>

class HttpConnection;

// Every client connection the server holds, at most a bounded number, and the
// line of those that wait for a request (or for the client's close), oldest
// first: when the server is full, the oldest of them makes room for a newcomer.
// The registry owns the connections; one that has ended goes once the event at
// hand is done, together with every other that ended meanwhile.
class ConnectionRegistry : public QObject
{
    Q_OBJECT

public:
    explicit ConnectionRegistry(QObject *parent = nullptr);
    ~ConnectionRegistry() override;

    void setCapacity(qsizetype capacity) { m_capacity = qMax<qsizetype>(1, capacity); }
    qsizetype capacity() const { return m_capacity; }
    qsizetype size() const { return qsizetype(m_connections.size()); }
    bool isFull() const { return size() >= m_capacity; }

    void add(HttpConnection *connection);
    // A waiting connection joins the end of the line; a busy one leaves it.
    void setWaiting(HttpConnection *connection, bool waiting);
    // The connection that has waited longest, or null when every one is busy.
    HttpConnection *oldestWaiting() const;
    // Forgets an ended connection and deletes it later.
    void release(HttpConnection *connection);
    QList<HttpConnection *> connections() const;
    // Deletes every connection now.
    void clear();

private:
    using Line = std::list<HttpConnection *>;

    void deleteEnded();

    qsizetype m_capacity = 1;
    // Each connection with its place in the line of waiting ones or in that of
    // busy ones; a place moves from one line to the other without being made anew.
    struct Place
    {
        Line::iterator at;
        bool waiting = true;
    };
    std::unordered_map<HttpConnection *, Place> m_connections;
    Line m_waiting;
    Line m_busy;
    QList<HttpConnection *> m_ended;
};
