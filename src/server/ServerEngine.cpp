#include "server/ServerEngine.h"

#include "platform/SocketErrors.h"
#include "server/HttpConnection.h"
#include "server/SocketPoller.h"

#include <QDateTime>
#include <QDir>
#include <QSocketNotifier>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>

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
const QString CaptionPrefix = QStringLiteral("HTTP Server: ");

constexpr int InvalidArgument = 10022; // what Windows Sockets says of listening on an unbound socket
constexpr int DefaultPort = 80;
constexpr int MaxDelay = 2000;
constexpr auto AcceptPause = std::chrono::milliseconds(100);
constexpr int AcceptBatch = 64;

// The first line of a request as the log shows it: no control bytes.
QString printable(QByteArrayView line)
{
    QString text = QString::fromUtf8(line);
    for (QChar &c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = u'.';
    }
    return text;
}

int validPort(int port)
{
    return port > 0 && port <= 65535 ? port : DefaultPort;
}

} // namespace

ServerEngine::ServerEngine(const SettingsFile &settings)
    : m_file(settings)
    , m_settings(SettingKeys::server(), { { "WShttpPath", defaultDirectory() } })
    , m_poller(new SocketPoller(this))
    , m_sweepTimer(new QTimer(this))
    , m_refreshTimer(new QTimer(this))
{
    qRegisterMetaType<ServerLogUpdate>();
    m_refreshTimer->setSingleShot(true);
    connect(m_refreshTimer, &QTimer::timeout, this, &ServerEngine::flushLog);
    connect(m_sweepTimer, &QTimer::timeout, this, &ServerEngine::sweep);
}

ServerEngine::~ServerEngine()
{
    closeListener();
    qDeleteAll(m_connections.keys());
    deleteEnded();
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

void ServerEngine::onStart()
{
    // A file goes out with sendfile(), which has no MSG_NOSIGNAL: a client that
    // hangs up mid-answer must give an error to log, not end the program.
    ::signal(SIGPIPE, SIG_IGN);
    m_settings.load(m_file);
    m_directory = m_settings.text("WShttpPath");
    m_defaultPage = m_settings.text("WShttpStr");
    m_delay = qBound(0, m_settings.number("WShttpDel"), MaxDelay);
    m_listingAllowed = m_settings.flag("WShttpDir");
    m_port = validPort(m_settings.number("WShttpPort"));
    m_facts = SystemFacts::read();
    rebuildHandler();
    emit fieldsLoaded(m_directory, m_defaultPage, m_delay, m_listingAllowed, m_port);

    log(Initializing);
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) != 0)
        socketError(errno);
    m_hostName = QString::fromLocal8Bit(host).trimmed();
    m_sweepTimer->start(qBound<std::chrono::milliseconds>(
        std::chrono::milliseconds(20), m_idleTimeout / 4, std::chrono::milliseconds(1000)));
    openListener();
}

void ServerEngine::onStop()
{
    log(ClosingSocket);
    closeListener();
    const auto connections = m_connections.keys();
    m_connections.clear();
    qDeleteAll(connections);
    m_sweepTimer->stop();
    m_settings.setText("WShttpPath", m_directory);
    m_settings.setText("WShttpStr", m_defaultPage);
    m_settings.setNumber("WShttpDel", m_delay);
    m_settings.setFlag("WShttpDir", m_listingAllowed);
    m_settings.setNumber("WShttpPort", m_port);
    m_settings.save(m_file);
    flushLog();
}

void ServerEngine::openListener()
{
    // Each step runs on whatever the one before it left, and logs its own failure.
    log(CreatingSocket);
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_listener < 0) {
        socketError(errno);
    } else {
        emit captionChanged(CaptionPrefix + m_hostName);
        log(TcpSocket + QString::number(m_listener));
        const int on = 1;
        setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    }

    log(Binding);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(m_port));
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (!m_bindAddress.isEmpty())
        inet_pton(AF_INET, m_bindAddress.toLatin1().constData(), &address.sin_addr);
    m_bound = ::bind(m_listener, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    if (!m_bound)
        socketError(errno);

    log(Listening);
    // An unbound socket would listen on a port of the system's choosing.
    if (!m_bound)
        logError(m_listener < 0 ? SocketErrors::winsockCode(EBADF) : InvalidArgument);
    else if (::listen(m_listener, SOMAXCONN) == 0)
        m_listening = true;
    else
        socketError(errno);

    log(WaitingToAccept);
    if (!m_listening) {
        logError(m_listener < 0 ? SocketErrors::winsockCode(EBADF) : InvalidArgument);
    } else {
        m_acceptNotifier = new QSocketNotifier(m_listener, QSocketNotifier::Read, this);
        connect(m_acceptNotifier, &QSocketNotifier::activated, this, &ServerEngine::acceptClients);
    }
    emit portChanged(m_port);
}

void ServerEngine::closeListener()
{
    delete m_acceptNotifier;
    m_acceptNotifier = nullptr;
    if (m_listener >= 0 && ::close(m_listener) != 0)
        socketError(errno);
    m_listener = -1;
    m_bound = false;
    m_listening = false;
}

void ServerEngine::acceptClients()
{
    // A batch at a time: under a stream of new clients the loop must come round
    // to the open connections and to its own posted work.
    for (int accepted = 0; accepted < AcceptBatch; ++accepted) {
        const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (client < 0) {
            const int error = errno;
            if (error == EAGAIN || error == EWOULDBLOCK || error == EINTR || error == ECONNABORTED)
                return;
            socketError(error);
            // Out of descriptors: the listener stays ready, so pause rather than spin.
            if (m_acceptNotifier) {
                m_acceptNotifier->setEnabled(false);
                QTimer::singleShot(AcceptPause, this, [this] {
                    if (m_acceptNotifier)
                        m_acceptNotifier->setEnabled(true);
                });
            }
            return;
        }
        auto *connection = new HttpConnection(client, this, *m_poller, this);
        m_connections.insert(connection, true);
        connection->begin();
    }
}

void ServerEngine::sweep()
{
    const auto now = HttpConnection::Clock::now();
    const auto connections = m_connections.keys();
    for (HttpConnection *connection : connections)
        connection->expire(now, m_idleTimeout);
}

void ServerEngine::connectionEnded(HttpConnection *connection)
{
    if (!m_connections.remove(connection))
        return;
    // Ended connections go together once the event at hand is done: one posted
    // event for a whole busy moment rather than one per client.
    if (m_ended.isEmpty())
        QMetaObject::invokeMethod(this, &ServerEngine::deleteEnded, Qt::QueuedConnection);
    m_ended.append(connection);
}

void ServerEngine::deleteEnded()
{
    qDeleteAll(std::exchange(m_ended, {}));
}

void ServerEngine::rebuildHandler()
{
    m_handler = std::make_unique<RequestHandler>(
        RequestHandler::Options { effectiveDirectory(m_directory), m_defaultPage, m_listingAllowed }, m_facts);
}

Response ServerEngine::answer(QByteArrayView requestStart, bool lineEnded)
{
    ++m_hits;
    log(Reading);
    logWithoutLimit(printable(requestStart).trimmed());
    Response response = lineEnded ? m_handler->answer(requestStart) : m_handler->tooLong();
    if (!response.note.isEmpty())
        log(response.note);
    return response;
}

void ServerEngine::pieceSent(qsizetype bytes, bool countsAsSent)
{
    if (countsAsSent)
        m_bytesSent += bytes;
    scheduleRefresh();
    emit pieceDelivered(bytes);
}

void ServerEngine::answered(qint64 bodyBytes, bool file)
{
    if (file)
        log(Sent + QString::number(bodyBytes));
}

void ServerEngine::socketError(int errnoValue)
{
    logError(SocketErrors::winsockCode(errnoValue));
}

void ServerEngine::clientClosed()
{
    log(ClosingSocket);
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
    log(ClosingSocket);
    closeListener();
    m_port = port;
    openListener();
}

const QString &ServerEngine::timeText()
{
    // Formatting the clock costs more than a busy server's whole answer; once a second is enough.
    const std::time_t now = std::time(nullptr);
    if (now != m_timeSecond || m_time.isEmpty()) {
        m_timeSecond = now;
        m_time = QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
    }
    return m_time;
}

void ServerEngine::log(const QString &status)
{
    logWithoutLimit(status);
    if (m_rowCount >= LogLimit) {
        m_rowCount = 0;
        m_pending.rows.clear();
        m_pending.cleared = true;
    }
}

void ServerEngine::logWithoutLimit(const QString &status)
{
    m_pending.rows.append({ timeText(), status.left(StatusWidth) });
    ++m_rowCount;
    scheduleRefresh();
}

void ServerEngine::logError(int winsockCode)
{
    logWithoutLimit(SocketErrors::name(winsockCode));
}

void ServerEngine::scheduleRefresh()
{
    if (!m_refreshTimer->isActive())
        m_refreshTimer->start(m_refreshInterval);
}

void ServerEngine::flushLog()
{
    m_pending.hits = m_hits;
    m_pending.bytesSent = m_bytesSent;
    emit logUpdated(m_pending);
    m_pending = ServerLogUpdate();
}
