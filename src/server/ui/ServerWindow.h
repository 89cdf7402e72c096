#pragma once

#include "server/ServerLogUpdate.h"

#include <QFileDialog>
#include <QPointer>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QToolButton;
class QTreeWidget;

// The "WSck server" window: the port, the log of the listener and the requests,
// the served directory with its chooser, the default page, the listing check
// box, the counters and the send delay. It does no I/O: the fields go to the
// engine, the log and counters come back from it in batches.
class ServerWindow : public QWidget
{
    Q_OBJECT

public:
    explicit ServerWindow(QWidget *parent = nullptr);

    QTreeWidget *log() const { return m_log; }
    QSpinBox *portField() const { return m_port; }
    QLabel *portLabel() const { return m_portLabel; }
    QLineEdit *directoryField() const { return m_directory; }
    QToolButton *chooserButton() const { return m_chooser; }
    QLineEdit *pageField() const { return m_page; }
    QCheckBox *listingBox() const { return m_listing; }
    QLineEdit *hitField() const { return m_hits; }
    QLineEdit *sentField() const { return m_sent; }
    QSpinBox *delayField() const { return m_delay; }
    // The directory dialog while it is open, else null.
    QFileDialog *chooser() const { return m_dialog; }

public slots:
    void showFields(const QString &directory, const QString &defaultPage, int delay, bool listingAllowed, int port);
    void showCaption(const QString &caption);
    void showPort(int port);
    void showLog(const ServerLogUpdate &update);

signals:
    void directoryEdited(const QString &directory);
    void defaultPageEdited(const QString &page);
    void delayEdited(int milliseconds);
    void listingToggled(bool allowed);
    void portEdited(int port);

private:
    void chooseDirectory();

    QLabel *m_portLabel;
    QSpinBox *m_port;
    QTreeWidget *m_log;
    QLineEdit *m_directory;
    QToolButton *m_chooser;
    QLineEdit *m_page;
    QCheckBox *m_listing;
    QLineEdit *m_hits;
    QLineEdit *m_sent;
    QSpinBox *m_delay;
    QPointer<QFileDialog> m_dialog; // cleared when the dialog closes and deletes itself
    bool m_showingFields = false;
};
