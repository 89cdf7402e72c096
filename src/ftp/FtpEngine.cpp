#include "ftp/FtpEngine.h"

#include "ftp/ServerAddress.h"
#include "ftp/TrustedCertificates.h"
#include "platform/SettingKeys.h"
#include "platform/TrailingBlanks.h"
#include "platform/inet/CurlDriver.h"
#include "platform/inet/FtpListingParser.h"
#include "platform/inet/InetError.h"

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
const QString StoppedSuffix = QStringLiteral("  PREKINUT");
const QString ParentName = QStringLiteral("..");
const QString ClearTextText = QStringLiteral("veza nije šifrirana: server ne nudi TLS");
const QString QuestionText = QStringLiteral("nepoznat certifikat servera: čekam odgovor ...");
const QString NotTrustedText = QStringLiteral("certifikat nije prihvaćen: veza prekinuta");
const QString ChangedText = QStringLiteral("certifikat servera promijenjen: veza odbijena");
const QString UnsavedTrustText = QStringLiteral("ERROR: certifikat nije spremljen u TORVEX.INI");

constexpr std::chrono::milliseconds ProgressInterval { 500 };

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

QByteArray joined(const QList<QByteArray> &segments)
{
    return segments.isEmpty() ? QByteArray() : segments.join('/');
}

} // namespace

FtpEngine::FtpEngine(const SettingsFile &settings, const QString &workingDirectory)
    : m_file(settings)
    , m_settings(SettingKeys::ftp(),
          { { "FTPPut", withSlash(workingDirectory.isEmpty() ? QDir::currentPath() : workingDirectory) } })
    , m_progressTimer(this)
{
    qRegisterMetaType<FtpRows>();
    m_progressTimer.setInterval(ProgressInterval);
    connect(&m_progressTimer, &QTimer::timeout, this, &FtpEngine::showProgress);
}

FtpEngine::~FtpEngine()
{
    dropSession();
}

QString FtpEngine::remotePath() const
{
    QStringList shown;
    for (const QByteArray &segment : m_segments)
        shown.append(inet::FtpListingParser::displayName(segment));
    return u'/' + shown.join(u'/');
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
    m_progressTimer.stop();
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
        m_segments.clear();
    }
    m_server = server;
    m_question.reset();
    setStatus(server);
    dropSession();

    const ServerAddress address = ServerAddress::parse(server);
    m_serverKey = address.key();
    inet::FtpLogin login { address.host, address.port, m_settings.text("FTPUser"), m_settings.text("FTPPassword"),
        TrustedCertificates(m_file).find(m_serverKey) };
    m_session = std::make_unique<inet::FtpSession>(*m_driver, login);
    m_session->setTimeout(timeout());
    m_session->setListing(m_listing);
    m_session->setCaFile(m_caFile);
    connect(m_session.get(), &inet::FtpSession::status, this, &FtpEngine::onSessionStatus);
    connect(m_session.get(), &inet::FtpSession::opened, this, &FtpEngine::onOpened);
    connect(m_session.get(), &inet::FtpSession::listed, this, &FtpEngine::onListed);
    connect(m_session.get(), &inet::FtpSession::progress, this, &FtpEngine::onProgress);
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
    const FtpRow row = m_rows.at(index);
    switch (row.kind) {
    case FtpRow::Directory:
        m_segments.append(row.rawName);
        readListing();
        break;
    case FtpRow::Parent:
        if (!m_segments.isEmpty())
            m_segments.removeLast();
        readListing();
        break;
    case FtpRow::Link:
        // The rows stay until the server says whether the link leads to a directory.
        requestListing(m_segments + QList<QByteArray> { row.rawName });
        m_triedLink = row;
        break;
    case FtpRow::File:
        break;
    }
}

void FtpEngine::downloadRow(int index, const QString &name)
{
    if (isRow(index, name) && m_rows.at(index).isDownloadable())
        startDownload(m_rows.at(index));
}

void FtpEngine::startDownload(const FtpRow &row)
{
    if (m_transfer != 0 || !m_session)
        return;
    // Relative to the login directory: the path's segments and the row's own bytes.
    const QByteArray remote = joined(m_segments + QList<QByteArray> { row.rawName });
    QString directory = withoutTrailingBlanks(m_settings.text("FTPPut"));
    // An empty directory field means the working directory, never the root.
    if (directory.isEmpty())
        directory = QDir::currentPath();
    const QString local = withSlash(directory) + row.name;
    // The messages name the file as the list shows it.
    m_transferName = row.shownName();
    m_transfer = 1;
    m_stopping = false;
    m_progress.start(m_transferName, row.bytes);
    m_progressTimer.start();
    emit transferringChanged(true);
    m_downloadContext = m_nextContext++;
    m_session->download(remote, local, m_downloadContext);
}

void FtpEngine::stopDownload()
{
    if (m_transfer == 0 || !m_session)
        return;
    m_stopping = true;
    m_session->cancel(m_downloadContext);
}

void FtpEngine::answerCertificate(bool trusted)
{
    if (!m_question)
        return;
    const Question question = *m_question;
    m_question.reset();
    if (!trusted) {
        setStatus(NotTrustedText);
        return;
    }
    // Unkept, the trust would be asked for again at once: the user hears why.
    if (!TrustedCertificates(m_file).trust(question.server, question.digest)) {
        setStatus(UnsavedTrustText);
        return;
    }
    connectToServer();
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
    m_triedLink.reset();
    if (!m_session)
        return;
    m_session->close();
    m_session->disconnect(this);
    // It may be the sender of the signal being handled now.
    m_session.release()->deleteLater();
}

void FtpEngine::readListing()
{
    setRows({});
    requestListing(m_segments);
}

void FtpEngine::requestListing(const QList<QByteArray> &segments)
{
    m_triedLink.reset();
    if (!m_session)
        return;
    setStatus(m_server + ListingSuffix);
    m_listingContext = m_nextContext++;
    m_session->list(joined(segments), m_listingContext);
}

void FtpEngine::setRows(const FtpRows &rows)
{
    m_rows = rows;
    emit rowsChanged(m_rows);
}

void FtpEngine::onSessionStatus(quintptr context, int code)
{
    // Once a file arrives, the status line shows its figures instead.
    if (context == m_downloadContext && m_progress.hasFigures())
        return;
    const QString text = statusText(code);
    if (!text.isEmpty())
        setStatus(text);
}

void FtpEngine::onOpened(quintptr, int error)
{
    if (error) {
        const QByteArray presented = m_session->presentedCertificate();
        const QByteArray trusted = m_session->login().trustedCertificate;
        dropSession();
        // The rows of an earlier login belong to a closed session: none of them
        // could be opened or downloaded any more.
        setRows({});
        if (error == inet::ErrorSslCertificate && !presented.isEmpty()) {
            const QString fingerprint = QString::fromLatin1(inet::fingerprintText(presented));
            if (!trusted.isEmpty()) {
                setStatus(ChangedText);
                emit certificateChanged(m_serverKey, fingerprint);
            } else {
                m_question = Question { m_serverKey, presented };
                setStatus(QuestionText);
                emit certificateQuestion(m_serverKey, fingerprint);
            }
            return;
        }
        showError(error);
        return;
    }
    m_loggedIn = true;
    m_tellClearText = !m_session->encrypted();
    m_segments.clear();
    emit captionChanged(m_server);
    setStatus(m_server);
    readListing();
}

void FtpEngine::onListed(quintptr context, const inet::FtpEntries &entries, int error)
{
    if (context != m_listingContext)
        return;
    if (m_triedLink) {
        const FtpRow link = *m_triedLink;
        m_triedLink.reset();
        // The server would not change into it: a link to a file.
        if (error == inet::ErrorExtended) {
            startDownload(link);
            return;
        }
        // Any other failure leaves the directory's rows as they were.
        if (error) {
            showError(error);
            return;
        }
        m_segments.append(link.rawName);
    }
    FtpRows rows;
    // The way up stays even when the directory could not be read.
    if (!atTopLevel())
        rows.append(FtpRow { FtpRow::Parent, ParentName, QString(), QString(), ParentName.toLatin1(), -1 });
    for (const inet::FtpEntry &entry : entries)
        rows.append(FtpRow::fromEntry(entry));
    setRows(rows);
    if (error) {
        showError(error);
    } else if (m_tellClearText) {
        m_tellClearText = false;
        setStatus(ClearTextText);
    }
}

void FtpEngine::onProgress(quintptr context, qint64 bytes, qint64 size, qint64 startedAt)
{
    if (context != m_downloadContext)
        return;
    const bool first = !m_progress.hasFigures();
    m_progress.update(bytes, size, startedAt);
    if (first)
        showProgress();
}

void FtpEngine::showProgress()
{
    if (m_transfer != 0 && m_progress.hasFigures())
        setStatus(m_progress.text());
}

void FtpEngine::onDownloaded(quintptr, int error)
{
    m_progressTimer.stop();
    const bool stopped = m_stopping && error == inet::ErrorOperationCancelled;
    const bool success = error == 0;
    if (stopped)
        setStatus(withoutTrailingBlanks(m_transferName) + StoppedSuffix);
    else
        setStatus(withoutTrailingBlanks(m_transferName) + (success ? TransferredSuffix : TransferFailedSuffix));
    if (m_settings.flag("FTPSound") && !stopped)
        emit beepRequested(success);
    const int state = m_transfer;
    m_transfer = 0;
    m_stopping = false;
    m_downloadContext = 0;
    emit transferringChanged(false);
    // The code of a failed transfer follows its name, as for any failed completion.
    if (!success && !stopped)
        showError(error);
    if (state == 2)
        connectToServer();
}
