#include "ftp/FtpEngine.h"

#include "platform/SettingKeys.h"
#include "platform/TrailingBlanks.h"
#include "platform/inet/CurlDriver.h"

#include <QDir>
#include <QRandomGenerator>

namespace {

const QString OpeningText = QStringLiteral("InternetOpen ...");
const QString CallbackText = QStringLiteral("InternetSetStatusCallBack ...");
const QString OptionText = QStringLiteral("InternetSetOption ...");
const QString ReadyText = QStringLiteral("Zazoved5 FTP Client by ZT99");
const QString OpenFailedText = QStringLiteral("ERROR InternetOpen()");
const QString ErrorPrefix = QStringLiteral("ERROR");
const QString ListingSuffix = QStringLiteral(" .../");
const QString TransferredSuffix = QStringLiteral("  PREBAČEN");
const QString TransferFailedSuffix = QStringLiteral("  ERROR!");
const QString ParentName = QStringLiteral("..");

// The texts the status line shows for the Internet client's notifications.
QString statusText(int code)
{
    switch (code) {
    case 10:
        return QStringLiteral("tražim server ...");
    case 11:
        return QStringLiteral("server pronađen");
    case 20:
        return QStringLiteral("spajam se ...");
    case 21:
        return QStringLiteral("spojen na server");
    case 30:
        return QStringLiteral("šaljem zahtjev ...");
    case 31:
        return QStringLiteral("zahtjev poslan");
    case 40:
        return QStringLiteral("primam odgovor ...");
    case 41:
        return QStringLiteral("odgovor primljen");
    case 42:
        return QStringLiteral("ctl odgovor primljen");
    case 50:
        return QStringLiteral("zatvaram vezu ...");
    case 51:
        return QStringLiteral("veza zatvorena");
    case 60:
        return QStringLiteral("veza kreirana");
    case 70:
        return QStringLiteral("...");
    case 100:
        return QStringLiteral("zahtjev izvršen");
    case 110:
        return QStringLiteral("_REDIRECT");
    default:
        return {};
    }
}

QString withSlash(const QString &path)
{
    return path.endsWith(u'/') ? path : path + u'/';
}

// "host" or "host:port".
inet::FtpLogin loginFor(const QString &server, const QString &user, const QString &password)
{
    inet::FtpLogin login { server, 21, user, password };
    const qsizetype colon = server.lastIndexOf(u':');
    if (colon > 0 && server.indexOf(u':') == colon) {
        bool ok = false;
        const uint port = server.mid(colon + 1).toUInt(&ok);
        if (ok && port > 0 && port <= 65535) {
            login.host = server.left(colon);
            login.port = quint16(port);
        }
    }
    return login;
}

} // namespace

FtpEngine::FtpEngine(const SettingsFile &settings, const QString &workingDirectory)
    : m_file(settings)
    , m_settings(SettingKeys::ftp(),
          { { "FTPPut", withSlash(workingDirectory.isEmpty() ? QDir::currentPath() : workingDirectory) } })
{
    qRegisterMetaType<FtpRows>();
}

FtpEngine::~FtpEngine()
{
    dropSession();
}

std::chrono::milliseconds FtpEngine::timeout() const
{
    // The whole stored value counts: 70000 means seventy seconds, not its low 16 bits.
    return std::chrono::milliseconds(qMax(0, m_settings.number("FTPTimeOut")));
}

void FtpEngine::onStart()
{
    if (!m_settings.load(m_file))
        m_settings.save(m_file);
    emit fieldsLoaded(m_settings.text("FTPServer"), m_settings.text("FTPUser"), m_settings.text("FTPPassword"),
        m_settings.text("FTPPut"));
    emit captionChanged(QStringLiteral("FTP"));

    setStatus(OpeningText);
    m_agent = QStringLiteral("V5Ftp") + QString::number(QRandomGenerator::global()->bounded(1, 10000));
    m_driver = std::make_unique<inet::CurlDriver>();
    if (!m_driver->multi()) {
        m_driver.reset();
        setStatus(OpenFailedText);
        return;
    }
    // Notifications are connected per login; the time-out is applied to each request.
    setStatus(CallbackText);
    setStatus(OptionText);
    setStatus(ReadyText);
}

void FtpEngine::onStop()
{
    dropSession();
    m_driver.reset();
    m_settings.save(m_file);
}

void FtpEngine::setFields(
    const QString &server, const QString &user, const QString &password, const QString &downloadDirectory)
{
    m_settings.setText("FTPServer", server);
    m_settings.setText("FTPUser", user);
    m_settings.setText("FTPPassword", password);
    m_settings.setText("FTPPut", downloadDirectory);
}

void FtpEngine::connectToServer()
{
    QString server = m_settings.text("FTPServer").toLower();
    while (server.startsWith(u' '))
        server.remove(0, 1);
    server = withoutTrailingBlanks(server);
    if (m_transfer != 0) {
        // The running download is finished first; the connect follows it.
        m_transfer = 2;
        return;
    }
    if (!m_driver) {
        setStatus(OpenFailedText);
        return;
    }
    if (server != m_previousServer) {
        m_previousServer = server;
        m_path.clear();
    }
    m_server = server;
    setStatus(server);
    dropSession();

    m_session = std::make_unique<inet::FtpSession>(
        *m_driver, loginFor(server, m_settings.text("FTPUser"), m_settings.text("FTPPassword")));
    m_session->setTimeout(timeout());
    m_session->setListing(m_listing);
    connect(m_session.get(), &inet::FtpSession::status, this, &FtpEngine::onSessionStatus);
    connect(m_session.get(), &inet::FtpSession::opened, this, &FtpEngine::onOpened);
    connect(m_session.get(), &inet::FtpSession::listed, this, &FtpEngine::onListed);
    connect(m_session.get(), &inet::FtpSession::downloaded, this, &FtpEngine::onDownloaded);
    m_session->open(m_nextContext++);
}

bool FtpEngine::isRow(int index, const QString &name) const
{
    return m_loggedIn && index >= 0 && index < m_rows.size() && (name.isEmpty() || m_rows.at(index).name == name);
}

void FtpEngine::openRow(int index, const QString &name)
{
    if (!isRow(index, name))
        return;
    const FtpRow &row = m_rows.at(index);
    if (row.kind == FtpRow::Directory) {
        m_path = withSlash(m_path) + row.name;
    } else if (row.kind == FtpRow::Parent) {
        m_path.truncate(qMax(0, m_path.lastIndexOf(u'/')));
        if (m_path.isEmpty())
            m_path = QStringLiteral("/");
    } else {
        return;
    }
    readListing();
}

void FtpEngine::downloadRow(int index, const QString &name)
{
    if (!isRow(index, name) || m_rows.at(index).kind != FtpRow::File || m_transfer != 0)
        return;
    const FtpRow &row = m_rows.at(index);
    // Relative to the login directory: the path without its leading "/".
    const QString remote = QString(withSlash(m_path) + row.name).mid(1);
    QString directory = withoutTrailingBlanks(m_settings.text("FTPPut"));
    // An empty directory field means the working directory, never the root.
    if (directory.isEmpty())
        directory = QDir::currentPath();
    const QString local = withSlash(directory) + row.name;
    // The messages name the file as the list shows it.
    m_transferName = row.shownName();
    m_transfer = 1;
    emit transferringChanged(true);
    m_session->download(remote, local, m_nextContext++);
}

void FtpEngine::setStatus(const QString &text)
{
    m_status = text;
    emit statusChanged(text);
}

void FtpEngine::showError(int error)
{
    setStatus(ErrorPrefix + QString::number(error));
}

void FtpEngine::dropSession()
{
    m_loggedIn = false;
    if (!m_session)
        return;
    m_session->close();
    m_session->disconnect(this);
    // It may be the sender of the signal being handled now.
    m_session.release()->deleteLater();
}

void FtpEngine::readListing()
{
    if (!m_session)
        return;
    setStatus(m_server + ListingSuffix);
    setRows({});
    m_listingContext = m_nextContext++;
    m_session->list(atTopLevel() ? QString() : m_path, m_listingContext);
}

void FtpEngine::setRows(const FtpRows &rows)
{
    m_rows = rows;
    emit rowsChanged(m_rows);
}

void FtpEngine::onSessionStatus(quintptr, int code)
{
    const QString text = statusText(code);
    if (!text.isEmpty())
        setStatus(text);
}

void FtpEngine::onOpened(quintptr, int error)
{
    if (error) {
        dropSession();
        // The rows of an earlier login belong to a closed session: none of them
        // could be opened or downloaded any more.
        setRows({});
        showError(error);
        return;
    }
    m_loggedIn = true;
    m_path = QStringLiteral("/");
    emit captionChanged(m_server);
    setStatus(m_server);
    readListing();
}

void FtpEngine::onListed(quintptr context, const inet::FtpEntries &entries, int error)
{
    if (context != m_listingContext)
        return;
    FtpRows rows;
    // The way up stays even when the directory could not be read.
    if (!atTopLevel())
        rows.append(FtpRow { FtpRow::Parent, ParentName, QString(), QString() });
    for (const inet::FtpEntry &entry : entries)
        rows.append(FtpRow::fromEntry(entry));
    setRows(rows);
    if (error)
        showError(error);
}

void FtpEngine::onDownloaded(quintptr, int error)
{
    const bool success = error == 0;
    setStatus(withoutTrailingBlanks(m_transferName) + (success ? TransferredSuffix : TransferFailedSuffix));
    if (m_settings.flag("FTPSound"))
        emit beepRequested(success);
    const int state = m_transfer;
    m_transfer = 0;
    emit transferringChanged(false);
    // The code of a failed transfer follows its name, as for any failed completion.
    if (!success)
        showError(error);
    if (state == 2)
        connectToServer();
}
