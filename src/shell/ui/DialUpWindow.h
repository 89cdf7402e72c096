#pragma once

#include <QWidget>

class QLineEdit;
class QPushButton;

// The Dial-up launcher window ("DialUp"): the connection to dial, prefilled
// with the default one, and "Poziv", which dials it.
class DialUpWindow : public QWidget
{
    Q_OBJECT

public:
    explicit DialUpWindow(QWidget *parent = nullptr);

    QString connectionName() const;

public slots:
    void showConnectionName(const QString &name);

signals:
    void dialRequested(const QString &connectionName);

private:
    QLineEdit *m_name;
    QPushButton *m_dial;
};
