#pragma once

#include <QObject>

#include <functional>
#include <unordered_map>

class QSocketNotifier;

// Readiness of many sockets through one epoll set that the event loop watches
// with a single notifier. Changing what a socket waits for is one system call
// however many clients are connected, where a notifier per socket would make
// the event loop redo its own bookkeeping and wake itself on every change.
class SocketPoller : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<void(bool readable, bool writable)>;

    explicit SocketPoller(QObject *parent = nullptr);
    ~SocketPoller() override;

    // Starts watching socket; handler runs on this thread when it is ready.
    void add(int socket, Handler handler);
    // What the socket waits for now; nothing at all is allowed.
    void setInterest(int socket, bool read, bool write);
    // Stops watching, before the socket is closed.
    void remove(int socket);

private:
    struct Entry
    {
        Handler handler;
        unsigned events = 0; // in the epoll set while not 0
    };

    void dispatch();

    int m_epoll = -1;
    QSocketNotifier *m_notifier = nullptr;
    std::unordered_map<int, Entry> m_entries;
};
