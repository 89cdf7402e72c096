#include "server/ServerEngine.h"

#include "platform/DescriptorLimit.h"
#include "platform/SocketErrors.h"
#include "server/ConnectionRegistry.h"
#include "server/RequestHead.h"
#include "server/ServerLog.h"
#include "server/SocketPoller.h"

#include <QDir>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace {

const QString Initializing = QStringLiteral("Initializing...");
const QString CreatingSocket = QStringLiteral("creating socket...");
const QString TcpSocket = QStringLiteral("TCP Socket #");
const QString Binding = QStringLiteral("binding Socket...");
const QString Listening = QStringLiteral("socket to listen...");
const QString WaitingToAccept = QStringLiteral("waiting to accept()...");
const QString Reading = QStringLiteral("reading...");
const QString Sent = QStringLiteral("sent ");
const QString ClosingSocket = QStringLiteral("closing socket...");
const QString DroppingOldest = QStringLiteral("dropping oldest waiting socket...");
const QString NoRoom = QStringLiteral("all sockets busy, closing new one...");
const QString CaptionPrefix = QStringLiteral("HTTP Server: ");

constexpr int InvalidArgument = 10022; // what Windows Sockets says of listening on an unbound socket
constexpr int DefaultPort = 80;
constexpr int MaxDelay = 2000;
constexpr auto AcceptPause = std::chrono::milliseconds(100);
constexpr int AcceptBatch = 64;
constexpr int UnsentLimit = 16 * 1024;

int validPort(int port)
{
    return port > 0 && port <= 65535 ? port : DefaultPort;
}

// The address to bind: empty means every interface, IPv6 and IPv4 together
// where the system has IPv6. False for text that is no address.
bool socketAddress(const QString &text, int family, quint16 port, sockaddr_storage &address, socklen_t &length)
{
    address = {};
    const QByteArray bytes = text.toLatin1();
    if (family == AF_INET6) {
        auto &in6 = reinterpret_cast<sockaddr_in6 &>(address);
        in6.sin6_family = AF_INET6;
        in6.sin6_port = htons(port);
        in6.sin6_addr = in6addr_any;
        length = sizeof in6;
        return text.isEmpty() || inet_pton(AF_INET6, bytes.constData(), &in6.sin6_addr) == 1;
    }
    auto &in4 = reinterpret_cast<sockaddr_in &>(address);
    in4.sin_family = AF_INET;
    in4.sin_port = htons(port);
    in4.sin_addr.s_addr = htonl(INADDR_ANY);
    length = sizeof in4;
    return text.isEmpty() || inet_pton(AF_INET, bytes.constData(), &in4.sin_addr) == 1;
}

} // namespace

// A listening socket in the poller's set, beside the connections it brings:
// told when clients wait to be accepted.
class ServerEngine::Listener final : public SocketPoller::Client
{
public:
    Listener(ServerEngine &engine, int socket)
        : m_engine(engine)
        , m_socket(socket)
    { }

    int socket() const { return m_socket; }
    bool paused = false; // out of descriptors: accepting waits a moment

private:
    void socketReady(bool readable, bool, bool) override
    {
        if (readable && !paused)
            m_engine.acceptClients(*this);
    }
    void resume() override
    {
        if (!paused)
            m_engine.acceptClients(*this);
    }
    void unwatchable(int error) override { m_engine.socketError(error); }

    ServerEngine &m_engine;
    int m_socket;
};

ServerEngine::ServerEngine(const SettingsFile &settings)
    : m_file(settings)
    , m_settings(SettingKeys::server(), { { "WShttpPath", defaultDirectory() } })
    , m_poller(new SocketPoller(this))
    , m_registry(new ConnectionRegistry(this))
    , m_log(new ServerLog(this))
    , m_sweepTimer(new QTimer(this))
{
    connect(m_log, &ServerLog::updated, this, &ServerEngine::logUpdated);
    // Every request is answered after the turn in which it was read has taken in the changes on disk.
    m_poller->setTurnHook([this] { m_handler->catchUpBeforeNextAnswer(); });
    connect(m_sweepTimer, &QTimer::timeout, this, &ServerEngine::sweep);
}

ServerEngine::~ServerEngine()
{
    closeListeners();
    m_registry->clear();
}

QString ServerEngine::defaultDirectory()
{
    return QDir::homePath() + QStringLiteral("/public_html/");
}

QString ServerEngine::effectiveDirectory(const QString &typed)
{
    QString directory = typed.trimmed().isEmpty() ? defaultDirectory() : QDir().absoluteFilePath(typed.trimmed());
    if (!directory.endsWith(u'/'))
        directory += u'/';
    return directory;
}

qsizetype ServerEngine::connectionBound(long descriptorLimit)
{
    return qBound(qsizetype(1), qsizetype(descriptorLimit / 4), MostConnections);
}

void ServerEngine::setRefreshInterval(std::chrono::milliseconds interval)
{
    m_log->setRefreshInterval(interval);
}

void ServerEngine::onStart()
{
    m_settings.load(m_file);
    m_directory = m_settings.text("WShttpPath");
    m_defaultPage = m_settings.text("WShttpStr");
    m_delay = qBound(0, m_settings.number("WShttpDel"), MaxDelay);
    m_listingAllowed = m_settings.flag("WShttpDir");
    m_port = validPort(m_settings.number("WShttpPort"));
    m_facts = SystemFacts::read();
    m_registry->setCapacity(connectionBound(DescriptorLimit::softLimit()));
    rebuildHandler();
    emit fieldsLoaded(m_directory, m_defaultPage, m_delay, m_listingAllowed, m_port);

    m_log->log(Initializing);
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0)
        socketError(errno);
    m_hostName = QString::fromLocal8Bit(host).trimmed();
    const auto shortest = std::min({ m_limits.request, m_limits.keepAlive, m_limits.stall });
    m_sweepTimer->start(
        qBound<std::chrono::milliseconds>(std::chrono::milliseconds(10), shortest / 8, std::chrono::milliseconds(250)));
    openListeners();
}

void ServerEngine::onStop()
{
    m_log->log(ClosingSocket);
    closeListeners();
    m_registry->clear();
    m_sweepTimer->stop();
    m_settings.setText("WShttpPath", m_directory);
    m_settings.setText("WShttpStr", m_defaultPage);
    m_settings.setNumber("WShttpDel", m_delay);
    m_settings.setFlag("WShttpDir", m_listingAllowed);
    m_settings.setNumber("WShttpPort", m_port);
    m_settings.save(m_file);
    m_log->flush();
}

void ServerEngine::openListeners()
{
    const QStringList addresses = m_bindAddresses.isEmpty() ? QStringList { QString() } : m_bindAddresses;
    for (const QString &address : addresses)
        openListener(address);
    emit portChanged(m_port);
}

void ServerEngine::openListener(const QString &address)
{
    // Each step runs on whatever the one before it left, and logs its own failure.
    m_log->log(CreatingSocket);
    int family = address.isEmpty() || address.contains(u':') ? AF_INET6 : AF_INET;
    int listener = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listener < 0 && address.isEmpty() && errno == EAFNOSUPPORT) {
        // A system without IPv6 listens on IPv4 alone.
        family = AF_INET;
        listener = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    }
    if (listener < 0) {
        socketError(errno);
    } else {
        emit captionChanged(CaptionPrefix + m_hostName);
        m_log->log(TcpSocket + QString::number(listener));
        const int on = 1;
        setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        // The clients' sockets inherit it: each holds at most this much not
        // yet sent, so the rest of a large answer leaves from this thread as
        // room comes rather than from whichever process acknowledges it,
        // and the kernel keeps no megabytes of it waiting.
        setsockopt(listener, IPPROTO_TCP, TCP_NOTSENT_LOWAT, &UnsentLimit, sizeof UnsentLimit);
        // Every interface: IPv4 clients reach the same socket as IPv6 ones.
        const int v6only = address.isEmpty() ? 0 : 1;
        if (family == AF_INET6)
            setsockopt(listener, IPPROTO_IPV6, IPV6_V6ONLY, &v6only, sizeof v6only);
    }

    m_log->log(Binding);
    sockaddr_storage where {};
    socklen_t length = 0;
    bool bound = false;
    if (!socketAddress(address, family, quint16(m_port), where, length)) {
        socketError(EINVAL);
    } else {
        bound = ::bind(listener, reinterpret_cast<const sockaddr *>(&where), length) == 0;
        if (!bound)
            socketError(errno);
    }

    m_log->log(Listening);
    bool listening = false;
    // An unbound socket would listen on a port of the system's choosing.
    if (!bound)
        m_log->logError(listener < 0 ? SocketErrors::winsockCode(EBADF) : InvalidArgument);
    else if (::listen(listener, SOMAXCONN) == 0)
        listening = true;
    else
        socketError(errno);

    m_log->log(WaitingToAccept);
    if (!listening)
        m_log->logError(listener < 0 ? SocketErrors::winsockCode(EBADF) : InvalidArgument);
    if (listener < 0)
        return;
    auto entry = std::make_unique<Listener>(*this, listener);
    if (listening && !m_poller->add(listener, entry.get()))
        socketError(errno);
    m_listeners.push_back(std::move(entry));
}

void ServerEngine::closeListeners()
{
    for (const std::unique_ptr<Listener> &listener : std::exchange(m_listeners, {})) {
        m_poller->remove(listener->socket());
        if (::close(listener->socket()) != 0)
            socketError(errno);
    }
}

void ServerEngine::acceptClients(Listener &listener)
{
    // A batch at a time: under a stream of new clients the turn must come
    // round to the open connections; the rest are taken later in it.
    for (int accepted = 0; accepted < AcceptBatch; ++accepted) {
        const int client = ::accept4(listener.socket(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (client < 0) {
            const int error = errno;
            if (error == EINTR || error == ECONNABORTED)
                continue;
            if (error == EAGAIN || error == EWOULDBLOCK)
                return;
            socketError(error);
            pauseAccepting(listener);
            return;
        }
        if (m_registry->isFull() && !makeRoom()) {
            m_log->log(NoRoom);
            ::close(client);
            continue;
        }
        // Owned by the registry alone: a parent would cost every short connection its child list's upkeep.
        auto *connection = new HttpConnection(client, this, *m_poller);
        m_registry->add(connection);
        connection->begin();
    }
    m_poller->callAgain(listener.socket());
}

// A full server closes the connection that has waited longest for a request:
// what a client that trickles its request, or sends none, holds.
bool ServerEngine::makeRoom()
{
    HttpConnection *oldest = m_registry->oldestWaiting();
    if (!oldest)
        return false;
    m_log->log(DroppingOldest);
    oldest->drop();
    return true;
}

void ServerEngine::pauseAccepting(Listener &listener)
{
    // Out of descriptors: the clients stay waiting, so pause rather than spin.
    listener.paused = true;
    QTimer::singleShot(AcceptPause, this, [this, socket = listener.socket()] {
        for (const std::unique_ptr<Listener> &open : m_listeners) {
            if (open->socket() == socket && std::exchange(open->paused, false))
                acceptClients(*open);
        }
    });
}

void ServerEngine::sweep()
{
    const auto now = HttpConnection::Clock::now();
    const QList<HttpConnection *> connections = m_registry->connections();
    for (HttpConnection *connection : connections)
        connection->expire(now, m_limits);
    m_handler->closeUnusedFiles(now);
}

void ServerEngine::waitingChanged(HttpConnection *connection, bool waiting)
{
    m_registry->setWaiting(connection, waiting);
}

void ServerEngine::connectionEnded(HttpConnection *connection)
{
    m_registry->release(connection);
}

void ServerEngine::rebuildHandler()
{
    m_handler = std::make_unique<RequestHandler>(
        RequestHandler::Options { effectiveDirectory(m_directory), m_defaultPage, m_listingAllowed }, m_facts);
}

Response ServerEngine::answer(QByteArrayView head, Arrival arrival)
{
    m_log->countHit();
    m_log->log(Reading);
    const qsizetype lineEnd = RequestHead::firstLineEnd(head);
    m_log->logRequestLine(lineEnd < 0 ? head : head.first(lineEnd));
    Response response
        = arrival == Arrival::Whole ? m_handler->answer(head) : m_handler->tooLong(arrival == Arrival::HeadTooLarge);
    if (!response.note.isEmpty())
        m_log->log(response.note);
    return response;
}

void ServerEngine::pieceSent(qsizetype bytes, bool countsAsSent)
{
    if (countsAsSent)
        m_log->countSent(bytes);
    emit pieceDelivered(bytes);
}

void ServerEngine::answered(qint64 bodyBytes, bool file)
{
    if (file)
        m_log->log(Sent, bodyBytes);
}

void ServerEngine::socketError(int errnoValue)
{
    m_log->logError(SocketErrors::winsockCode(errnoValue));
}

void ServerEngine::clientClosed()
{
    m_log->log(ClosingSocket);
}

void ServerEngine::setDirectory(const QString &directory)
{
    m_directory = directory;
    rebuildHandler();
}

void ServerEngine::setDefaultPage(const QString &page)
{
    m_defaultPage = page;
    rebuildHandler();
}

void ServerEngine::setDelay(int milliseconds)
{
    m_delay = qBound(0, milliseconds, MaxDelay);
}

void ServerEngine::setListingAllowed(bool allowed)
{
    m_listingAllowed = allowed;
    rebuildHandler();
}

void ServerEngine::setPort(int port)
{
    if (port <= 0 || port > 65535)
        return;
    m_log->log(ClosingSocket);
    closeListeners();
    m_port = port;
    openListeners();
}
