#include "server/SocketPoller.h"

#include <QSocketNotifier>

#include <sys/epoll.h>
#include <unistd.h>

#include <utility>

namespace {

constexpr int Batch = 64;
constexpr int Rounds = 4;

} // namespace

SocketPoller::SocketPoller(QObject *parent)
    : QObject(parent)
    , m_epoll(::epoll_create1(EPOLL_CLOEXEC))
{
    if (m_epoll < 0)
        qFatal("epoll_create1 failed");
    m_notifier = new QSocketNotifier(m_epoll, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SocketPoller::dispatch);
}

SocketPoller::~SocketPoller()
{
    delete m_notifier;
    ::close(m_epoll);
}

bool SocketPoller::add(int socket, Client *client)
{
    if (watch(socket, enter(socket, client)))
        return true;
    const int error = errno;
    remove(socket);
    errno = error;
    return false;
}

void SocketPoller::addWhenWaiting(int socket, Client *client)
{
    enter(socket, client);
}

SocketPoller::Entry &SocketPoller::enter(int socket, Client *client)
{
    if (size_t(socket) >= m_entries.size())
        m_entries.resize(size_t(socket) + 1);
    Entry &entry = m_entries[size_t(socket)];
    entry = Entry { client, false, false };
    return entry;
}

bool SocketPoller::watch(int socket, Entry &entry)
{
    epoll_event event {};
    event.events = EPOLLIN | EPOLLOUT | EPOLLRDHUP | EPOLLET;
    event.data.fd = socket;
    if (::epoll_ctl(m_epoll, EPOLL_CTL_ADD, socket, &event) != 0)
        return false;
    entry.watched = true;
    return true;
}

void SocketPoller::remove(int socket)
{
    // A place in m_again is skipped once the entry is gone, or belongs to a later socket of that number.
    if (Entry *entry = entryOf(socket))
        *entry = Entry();
}

SocketPoller::Entry *SocketPoller::entryOf(int socket)
{
    if (socket < 0 || size_t(socket) >= m_entries.size() || !m_entries[size_t(socket)].client)
        return nullptr;
    return &m_entries[size_t(socket)];
}

void SocketPoller::callAgain(int socket)
{
    Entry *entry = entryOf(socket);
    if (!entry || entry->calledAgain)
        return;
    entry->calledAgain = true;
    m_again.push_back(socket);
    if (!m_dispatching)
        postTurn();
}

std::chrono::steady_clock::time_point SocketPoller::now() const
{
    return m_dispatching ? m_turnStart : std::chrono::steady_clock::now();
}

void SocketPoller::postTurn()
{
    if (std::exchange(m_turnPosted, true))
        return;
    QMetaObject::invokeMethod(this, &SocketPoller::dispatch, Qt::QueuedConnection);
}

void SocketPoller::dispatch()
{
    m_turnPosted = false;
    m_dispatching = true;
    // A bounded number of turns, then back to the event loop, so that timers,
    // new clients and posted work come round however many sockets stay ready.
    epoll_event events[Batch];
    for (int round = 0; round < Rounds; ++round) {
        m_turnStart = std::chrono::steady_clock::now();
        const int count = ::epoll_wait(m_epoll, events, Batch, 0);
        for (int i = 0; i < count; ++i) {
            // A client may have removed its socket meanwhile.
            const Entry *entry = entryOf(events[i].data.fd);
            if (!entry)
                continue;
            const unsigned ready = events[i].events;
            const bool ended = ready & (EPOLLERR | EPOLLHUP | EPOLLRDHUP);
            entry->client->socketReady((ready & EPOLLIN) || ended, (ready & EPOLLOUT) || ended, ended);
        }
        if (!m_again.empty())
            resumeAsked();
        if (count < Batch && m_again.empty())
            break;
    }
    m_dispatching = false;
    if (!m_again.empty())
        postTurn();
}

void SocketPoller::resumeAsked()
{
    if (m_turnHook)
        m_turnHook();
    std::swap(m_resuming, m_again);
    for (const int socket : m_resuming) {
        Entry *entry = entryOf(socket);
        if (!entry || !std::exchange(entry->calledAgain, false))
            continue;
        entry->client->resume();
        // The call may have removed the socket, or grown the entries.
        entry = entryOf(socket);
        if (entry && !entry->calledAgain && !entry->watched && !watch(socket, *entry))
            entry->client->unwatchable(errno);
    }
    m_resuming.clear();
}
