#pragma once

#include "ftp/FtpRow.h"
#include "platform/SettingsFile.h"
#include "platform/ToolEngine.h"
#include "platform/ToolSettings.h"
#include "platform/inet/FtpSession.h"

#include <memory>

namespace inet {
class CurlDriver;
}

// The FTP client tool's engine: the Internet session, the login to one server,
// the current remote directory and its rows, and the download of one file at a
// time. Its window sends the fields and the user's choices; the engine answers
// with the status line, the rows and the caption.
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

    QString agentName() const { return m_agent; }
    QString status() const { return m_status; }
    QString remotePath() const { return m_path; }
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
    // A left double-click on a row: into a directory, or up on "..". With a name,
    // the row must still be that one (a newer listing may have replaced it).
    void openRow(int index, const QString &name = QString());
    // "Prebaci u ..." on a file row.
    void downloadRow(int index, const QString &name = QString());

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

protected:
    void onStart() override;
    void onStop() override;

private:
    void setStatus(const QString &text);
    void showError(int error);
    void dropSession();
    void readListing();
    void setRows(const FtpRows &rows);
    void onSessionStatus(quintptr context, int code);
    void onOpened(quintptr context, int error);
    void onListed(quintptr context, const inet::FtpEntries &entries, int error);
    void onDownloaded(quintptr context, int error);
    bool isRow(int index, const QString &name) const;
    bool atTopLevel() const { return m_path.isEmpty() || m_path == u"/"; }

    SettingsFile m_file;
    ToolSettings m_settings;
    inet::FtpSession::Listing m_listing = inet::FtpSession::Listing::Automatic;
    std::unique_ptr<inet::CurlDriver> m_driver;
    std::unique_ptr<inet::FtpSession> m_session;
    bool m_loggedIn = false;
    QString m_agent;
    QString m_status;
    QString m_server;
    QString m_previousServer;
    QString m_path;
    FtpRows m_rows;
    quintptr m_nextContext = 1;
    quintptr m_listingContext = 0;
    int m_transfer = 0; // 0 none, 1 downloading, 2 reconnect once the download ends
    QString m_transferName;
};
