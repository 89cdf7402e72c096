#pragma once

#include "ftp/FtpRow.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QMenu;
class QMessageBox;
class QPushButton;
class QToolButton;
class QTreeWidget;

// The "FTP" window: server, user and password, "Spoji se", the download
// directory with its chooser, the list of the remote directory, the status
// line and "Prekid" for a running download; it asks the user about a server
// certificate nobody vouches for. It does no I/O: the fields and the user's choices go to the engine, the
// rows and texts come back from it.
class FtpWindow : public QWidget
{
    Q_OBJECT

public:
    explicit FtpWindow(QWidget *parent = nullptr);

    // The pop-up menu of a right-click on the row: "~koristi lijevi dvoklik" for
    // ".." and directories, "Prebaci u <directory>" for files and links; null
    // for no row.
    // The caller owns it.
    QMenu *menuForRow(int row);

    QLineEdit *serverField() const { return m_server; }
    QLineEdit *userField() const { return m_user; }
    QLineEdit *passwordField() const { return m_password; }
    QLineEdit *directoryField() const { return m_directory; }
    QPushButton *connectButton() const { return m_connect; }
    QToolButton *chooserButton() const { return m_chooser; }
    QPushButton *stopButton() const { return m_stop; }
    // The open certificate question or warning; null when none is shown.
    QMessageBox *certificateBox() const { return m_certificateBox; }
    QTreeWidget *list() const { return m_list; }
    QString statusText() const;

public slots:
    void showFields(
        const QString &server, const QString &user, const QString &password, const QString &downloadDirectory);
    void showStatus(const QString &text);
    void showCaption(const QString &caption);
    void showRows(const FtpRows &rows);
    void setTransferring(bool transferring);
    void beep(bool success);
    void askAboutCertificate(const QString &server, const QString &fingerprint);
    void warnOfChangedCertificate(const QString &server, const QString &fingerprint);

signals:
    void fieldsEdited(
        const QString &server, const QString &user, const QString &password, const QString &downloadDirectory);
    void connectRequested();
    // The row's index and its name, as the engine listed it.
    void rowActivated(int row, const QString &name);
    void downloadRequested(int row, const QString &name);
    void stopRequested();
    void certificateAnswered(bool trusted);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void chooseDirectory();
    void sendFields();
    void showMenu(const QPoint &position);
    QMessageBox *showCertificateBox(const QString &text);

    QLineEdit *m_server;
    QLineEdit *m_user;
    QLineEdit *m_password;
    QPushButton *m_connect;
    QLineEdit *m_directory;
    QToolButton *m_chooser;
    QTreeWidget *m_list;
    QLabel *m_status;
    QPushButton *m_stop;
    QMessageBox *m_certificateBox = nullptr;
    FtpRows m_rows;
    bool m_transferring = false;
    bool m_showingFields = false;
};
