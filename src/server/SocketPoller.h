#pragma once

#include <QObject>

#include <chrono>
#include <functional>
#include <vector>

class QSocketNotifier;

// Readiness of many sockets through one epoll set that the event loop watches
// with a single notifier. A socket is watched in both directions, edge-
// triggered, for its whole life: it is told when bytes or room arrive, and
// what it waits for costs no system call to change. A client that stops
// before it has used what is ready (its share of the turn is spent, or it
// holds a request it has not answered yet) asks to be called again.
//
// A socket may also join the set only when its client first waits for it:
// one whose whole life fits in its first turns (a request read, answered and
// closed) then costs no epoll system call at all.
//
// A turn: every socket that became ready is told so; then, when a client is
// to be called again, the turn's hook runs, and then those clients are. What
// a client reads while it is told is thus always read before the hook runs.
class SocketPoller : public QObject
{
    Q_OBJECT

public:
    class Client
    {
    public:
        // Something arrived: bytes (readable), room to send (writable), or the
        // peer's close or a failure (ended: read on to the end).
        virtual void socketReady(bool readable, bool writable, bool ended) = 0;
        // Called again, as asked.
        virtual void resume() = 0;
        // The socket could not join the epoll set (errno's value): nothing
        // more will be told of it.
        virtual void unwatchable(int error) = 0;

    protected:
        ~Client() = default;
    };

    explicit SocketPoller(QObject *parent = nullptr);
    ~SocketPoller() override;

    // Starts watching socket for client, until remove(); what has already
    // arrived is told in the next turn. False (errno set) when it cannot.
    bool add(int socket, Client *client);
    // Knows socket for client, who asks at once to be called again; the
    // socket joins the set once a call of its client ends without asking
    // for another (what arrived meanwhile is told then).
    void addWhenWaiting(int socket, Client *client);
    // Forgets socket, which its client then closes: closing it takes it out
    // of the epoll set without a call of its own.
    void remove(int socket);
    // The socket's client is resumed once: in this turn when asked while
    // sockets are told, else in the next.
    void callAgain(int socket);
    // Runs once in every turn in which clients are called again, before them.
    void setTurnHook(std::function<void()> hook) { m_turnHook = std::move(hook); }
    // When the turn under way began, or the clock's time outside a turn: a
    // turn's clients take their times from one reading of the clock.
    std::chrono::steady_clock::time_point now() const;

private:
    struct Entry
    {
        Client *client = nullptr;
        bool calledAgain = false; // waits in m_again
        bool watched = false; // in the epoll set
    };

    void dispatch();
    void resumeAsked();
    void postTurn();
    Entry *entryOf(int socket);
    Entry &enter(int socket, Client *client);
    bool watch(int socket, Entry &entry);

    int m_epoll = -1;
    QSocketNotifier *m_notifier = nullptr;
    std::vector<Entry> m_entries; // by descriptor: a client is null where no socket is known
    std::vector<int> m_again;
    std::vector<int> m_resuming; // m_again of the turn under way, kept for its storage
    std::function<void()> m_turnHook;
    bool m_dispatching = false;
    std::chrono::steady_clock::time_point m_turnStart;
    bool m_turnPosted = false;
};
