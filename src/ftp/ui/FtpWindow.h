#pragma once

#include "ftp/FtpRow.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolButton;
class QTreeWidget;

// The "FTP" window: server, user and password, "Spoji se", the download
// directory with its chooser, the list of the remote directory and the status
// line. It does no I/O: the fields and the user's choices go to the engine, the
// rows and texts come back from it.
class FtpWindow : public QWidget
{
    Q_OBJECT

public:
    explicit FtpWindow(QWidget *parent = nullptr);

    // The pop-up menu of a right-click on the row: "~koristi lijevi dvoklik" for
    // ".." and directories, "Prebaci u <directory>" for files; null for no row.
    // The caller owns it.
    QMenu *menuForRow(int row);

    QLineEdit *serverField() const { return m_server; }
    QLineEdit *userField() const { return m_user; }
    QLineEdit *passwordField() const { return m_password; }
    QLineEdit *directoryField() const { return m_directory; }
    QPushButton *connectButton() const { return m_connect; }
    QToolButton *chooserButton() const { return m_chooser; }
    QTreeWidget *list() const { return m_list; }
    QString statusText() const;

public slots:
    void showFields(
        const QString &server, const QString &user, const QString &password, const QString &downloadDirectory);
    void showStatus(const QString &text);
    void showCaption(const QString &caption);
    void showRows(const FtpRows &rows);
    void setTransferring(bool transferring) { m_transferring = transferring; }
    void beep(bool success);

signals:
    void fieldsEdited(
        const QString &server, const QString &user, const QString &password, const QString &downloadDirectory);
    void connectRequested();
    // The row's index and its name, as the engine listed it.
    void rowActivated(int row, const QString &name);
    void downloadRequested(int row, const QString &name);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void chooseDirectory();
    void sendFields();
    void showMenu(const QPoint &position);

    QLineEdit *m_server;
    QLineEdit *m_user;
    QLineEdit *m_password;
    QPushButton *m_connect;
    QLineEdit *m_directory;
    QToolButton *m_chooser;
    QTreeWidget *m_list;
    QLabel *m_status;
    FtpRows m_rows;
    bool m_transferring = false;
    bool m_showingFields = false;
};
