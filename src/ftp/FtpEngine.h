#pragma once

#include "ftp/DownloadProgress.h"
#include "ftp/FtpRow.h"
#include "platform/SettingsFile.h"
#include "platform/ToolEngine.h"
#include "platform/ToolSettings.h"
#include "platform/inet/FtpSession.h"

#include <QTimer>

#include <memory>
#include <optional>

namespace inet {
class CurlDriver;
}

// The FTP client tool's engine: the Internet session, the login to one server
// (encrypted when the server can, its certificate trusted or asked about), the
// current remote directory and its rows, and the download of one file at a
// time. Its window sends the fields and the user's choices; the engine answers
// with the status line, the rows, the caption and the questions to ask.
class FtpEngine : public ToolEngine
{
    Q_OBJECT

public:
    // workingDirectory: the download directory's default.
    explicit FtpEngine(
        const SettingsFile &settings = SettingsFile::standard(), const QString &workingDirectory = QString());
    ~FtpEngine() override;

    // How directories are listed; tests use it to make a server that offers MLSD
    // answer through LIST. The product leaves it automatic.
    void setListing(inet::FtpSession::Listing listing) { m_listing = listing; }
    // The authorities TLS servers' certificates must chain to (a PEM file);
    // tests name their loopback authority. The product leaves the system's store.
    void setCaFile(const QString &file) { m_caFile = file; }

    QString agentName() const { return m_agent; }
    QString status() const { return m_status; }
    // The current remote directory as the list shows it, "/" at the top.
    QString remotePath() const;
    FtpRows rows() const { return m_rows; }
    int transferState() const { return m_transfer; }
    std::chrono::milliseconds timeout() const;

    static QString procedureName() { return QStringLiteral("Itst"); }

public slots:
    // The window's entry fields, sent whenever one of them changes.
    void setFields(
        const QString &server, const QString &user, const QString &password, const QString &downloadDirectory);
    // "Spoji se".
    void connectToServer();
    // A left double-click on a row: into a directory, up on "..", into a link
    // or, when the server does not let us in, its download. With a name, the row
    // must still be that one (a newer listing may have replaced it).
    void openRow(int index, const QString &name = QString());
    // "Prebaci u ..." on a file row.
    void downloadRow(int index, const QString &name = QString());
    // "Prekid": ends the running download; what arrived stays for the next try.
    void stopDownload();
    // The user's answer to certificateQuestion().
    void answerCertificate(bool trusted);

signals:
    // The values read from the Settings file (or their defaults) when the tool opens.
    void fieldsLoaded(
        const QString &server, const QString &user, const QString &password, const QString &downloadDirectory);
    void statusChanged(const QString &text);
    void captionChanged(const QString &caption);
    void rowsChanged(const FtpRows &rows);
    void transferringChanged(bool transferring);
    // A download ended and the sound is on.
    void beepRequested(bool success);
    // The server's certificate chains to no authority the system trusts: may it
    // stand for the server? The answer comes back through answerCertificate().
    void certificateQuestion(const QString &server, const QString &fingerprint);
    // The server shows another certificate than the one the user trusted; the
    // connection was refused.
    void certificateChanged(const QString &server, const QString &fingerprint);

protected:
    void onStart() override;
    void onStop() override;

private:
    struct Question
    {
        QString server;
        QByteArray digest;
    };

    void setStatus(const QString &text);
    void showError(int error);
    void dropSession();
    void readListing();
    void requestListing(const QList<QByteArray> &segments);
    void startDownload(const FtpRow &row);
    void setRows(const FtpRows &rows);
    void refuseCertificate(const QByteArray &trusted);
    void onSessionStatus(quintptr context, int code);
    void onOpened(quintptr context, int error);
    void onListed(quintptr context, const inet::FtpEntries &entries, int error);
    void onProgress(quintptr context, qint64 bytes, qint64 size, qint64 startedAt);
    void onDownloaded(quintptr context, int error);
    void showProgress();
    bool isRow(int index, const QString &name) const;
    bool atTopLevel() const { return m_segments.isEmpty(); }

    SettingsFile m_file;
    ToolSettings m_settings;
    inet::FtpSession::Listing m_listing = inet::FtpSession::Listing::Automatic;
    QString m_caFile;
    std::unique_ptr<inet::CurlDriver> m_driver;
    std::unique_ptr<inet::FtpSession> m_session;
    bool m_loggedIn = false;
    bool m_tellClearText = false; // said once, after the first listing of a login
    QString m_agent;
    QString m_status;
    QString m_server; // as typed, for the caption and the status line
    QString m_serverKey; // host:port, for the trusted certificates
    QString m_previousServer;
    QList<QByteArray> m_segments; // the remote directory, the server's bytes
    FtpRows m_rows;
    quintptr m_nextContext = 1;
    quintptr m_listingContext = 0;
    std::optional<FtpRow> m_triedLink; // the link the running listing tries to enter
    std::optional<Question> m_question;
    int m_transfer = 0; // 0 none, 1 downloading, 2 reconnect once the download ends
    quintptr m_downloadContext = 0;
    bool m_stopping = false;
    QString m_transferName;
    DownloadProgress m_progress;
    QTimer m_progressTimer;
};
