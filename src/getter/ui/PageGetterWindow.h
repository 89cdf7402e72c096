#pragma once

#include "getter/PageGetterValues.h"

#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

// The Page getter's window "HTTP (sync.)": URL, local file and proxy, the
// download's status and progress, "Start" and "Prekid".
class PageGetterWindow : public QWidget
{
    Q_OBJECT

public:
    explicit PageGetterWindow(QWidget *parent = nullptr);

    PageGetterValues values() const;

public slots:
    void showValues(const PageGetterValues &values);
    void showStatus(const QString &text);
    void showProgress(qint64 total, qint64 range, const QString &bytes, const QString &percent, const QString &rate);
    void showWriteFailed();

signals:
    void valuesEdited(const PageGetterValues &values);
    void startRequested();
    void cancelRequested();

private:
    void onStart();
    void onProxyToggled(bool on);

    QLineEdit *m_url;
    QLineEdit *m_local;
    QCheckBox *m_useProxy;
    QLineEdit *m_proxy;
    QLabel *m_status;
    QProgressBar *m_bar;
    QLabel *m_bytes;
    QLabel *m_rate;
    QLabel *m_percent;
    QPushButton *m_start;
    QPushButton *m_cancel;
};
