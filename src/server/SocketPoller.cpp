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
    epoll_event event {};
    event.events = EPOLLIN | EPOLLOUT | EPOLLRDHUP | EPOLLET;
    event.data.fd = socket;
    if (::epoll_ctl(m_epoll, EPOLL_CTL_ADD, socket, &event) != 0)
        return false;
    m_entries[socket] = Entry { client, false };
    return true;
}

void SocketPoller::remove(int socket)
{
    const auto found = m_entries.find(socket);
    if (found == m_entries.end())
        return;
    // A place in m_again is skipped once the entry is gone, or belongs to a later socket of that number.
    m_entries.erase(found);
}

void SocketPoller::callAgain(int socket)
{
    const auto found = m_entries.find(socket);
    if (found == m_entries.end() || found->second.calledAgain)
        return;
    found->second.calledAgain = true;
    m_again.push_back(socket);
    if (!m_dispatching)
        postTurn();
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
        const int count = ::epoll_wait(m_epoll, events, Batch, 0);
        for (int i = 0; i < count; ++i) {
            // A client may have removed its socket meanwhile.
            const auto found = m_entries.find(events[i].data.fd);
            if (found == m_entries.end())
                continue;
            const unsigned ready = events[i].events;
            const bool ended = ready & (EPOLLERR | EPOLLHUP | EPOLLRDHUP);
            found->second.client->socketReady((ready & EPOLLIN) || ended, (ready & EPOLLOUT) || ended, ended);
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
        const auto found = m_entries.find(socket);
        if (found == m_entries.end() || !std::exchange(found->second.calledAgain, false))
            continue;
        found->second.client->resume();
    }
    m_resuming.clear();
}
