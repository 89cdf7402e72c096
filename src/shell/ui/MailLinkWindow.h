#pragma once

#include <QWidget>

class QPushButton;
class QUrl;

// The Mail link window ("Link"): one button, captioned with the author's
// address, that opens a mail to the author with the desktop's mail handler.
class MailLinkWindow : public QWidget
{
    Q_OBJECT

public:
    explicit MailLinkWindow(QWidget *parent = nullptr);

    static QString procedureName();
    // "mailto:" and the author's address.
    static QUrl link();

private:
    void openLink();

    QPushButton *m_address;
};
