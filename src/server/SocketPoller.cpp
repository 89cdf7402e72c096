#include "server/SocketPoller.h"

#include <QSocketNotifier>

#include <sys/epoll.h>
#include <unistd.h>

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

void SocketPoller::add(int socket, Handler handler)
{
    m_entries[socket] = Entry { std::move(handler), 0 };
}

void SocketPoller::setInterest(int socket, bool read, bool write)
{
    const auto found = m_entries.find(socket);
    if (found == m_entries.end())
        return;
    Entry &entry = found->second;
    const unsigned events = (read ? unsigned(EPOLLIN) : 0u) | (write ? unsigned(EPOLLOUT) : 0u);
    if (events == entry.events)
        return;
    // A socket is in the set only while it waits for something: most are
    // answered at once, and one waiting for nothing would still report a
    // hang-up over and over.
    if (events == 0) {
        ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, socket, nullptr);
        entry.events = 0;
        return;
    }
    epoll_event event {};
    event.events = events;
    event.data.fd = socket;
    if (::epoll_ctl(m_epoll, entry.events ? EPOLL_CTL_MOD : EPOLL_CTL_ADD, socket, &event) == 0)
        entry.events = events;
}

void SocketPoller::remove(int socket)
{
    const auto found = m_entries.find(socket);
    if (found == m_entries.end())
        return;
    if (found->second.events)
        ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, socket, nullptr);
    m_entries.erase(found);
}

void SocketPoller::dispatch()
{
    // A bounded number of rounds, then back to the event loop, so that timers,
    // new clients and posted work come round however many sockets stay ready.
    epoll_event events[Batch];
    for (int round = 0; round < Rounds; ++round) {
        const int count = ::epoll_wait(m_epoll, events, Batch, 0);
        for (int i = 0; i < count; ++i) {
            // A handler may have removed this socket, or a later one, meanwhile.
            const auto found = m_entries.find(events[i].data.fd);
            if (found == m_entries.end())
                continue;
            const unsigned ready = events[i].events;
            const bool failed = ready & (EPOLLERR | EPOLLHUP);
            const Handler handler = found->second.handler;
            handler((ready & EPOLLIN) || failed, (ready & EPOLLOUT) || failed);
        }
        if (count < Batch)
            return;
    }
}
