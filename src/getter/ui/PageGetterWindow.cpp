#include "getter/ui/PageGetterWindow.h"

#include "shell/widgets/DisplayLabel.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <limits>

namespace {

const QString Title = QStringLiteral("HTTP (sync.)");
const QString UrlPrompt = QStringLiteral("URL:");
const QString LocalPrompt = QStringLiteral("Lokal:");
const QString ProxyPrompt = QStringLiteral("Proxy:");
const QString StatusCaption = QStringLiteral("Status");
const QString DownloadingText = QStringLiteral("Downloading...");
const QString StartText = QStringLiteral("Start");
const QString CancelText = QStringLiteral("Prekid");
const QString WriteFailedText = QStringLiteral("WriteFile failed");
const QString BytesName = QStringLiteral("Bajtovi");
const QString RateName = QStringLiteral("Brzina");
const QString PercentName = QStringLiteral("Postotak");
const QString ProgressName = QStringLiteral("Napredak");

constexpr int PathCapacity = 254;
constexpr int ProxyCapacity = 63;

QLineEdit *entry(int capacity, QLabel *prompt)
{
    auto *edit = new QLineEdit;
    edit->setMaxLength(capacity);
    prompt->setBuddy(edit);
    edit->setAccessibleName(prompt->text());
    return edit;
}

} // namespace

PageGetterWindow::PageGetterWindow(QWidget *parent)
    : QWidget(parent)
{
    setWindowTitle(Title);
    auto *urlPrompt = new QLabel(UrlPrompt);
    auto *localPrompt = new QLabel(LocalPrompt);
    m_url = entry(PathCapacity, urlPrompt);
    m_local = entry(PathCapacity, localPrompt);
    m_useProxy = new QCheckBox(ProxyPrompt);
    m_proxy = new QLineEdit;
    m_proxy->setMaxLength(ProxyCapacity);
    m_proxy->setAccessibleName(ProxyPrompt);
    m_proxy->setMinimumWidth(fontMetrics().averageCharWidth() * 24);

    auto *fields = new QGridLayout;
    fields->addWidget(urlPrompt, 0, 0);
    fields->addWidget(m_url, 0, 1);
    fields->addWidget(localPrompt, 1, 0);
    fields->addWidget(m_local, 1, 1);
    fields->addWidget(m_useProxy, 2, 0);
    fields->addWidget(m_proxy, 2, 1);

    auto *statusBox = new QGroupBox(StatusCaption);
    m_status = new DisplayLabel(StatusCaption);
    m_status->setText(DownloadingText);
    m_status->setWordWrap(true);
    m_bar = new QProgressBar;
    m_bar->setAccessibleName(ProgressName);
    m_bar->setRange(0, 1);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    m_bytes = new DisplayLabel(BytesName);
    m_rate = new DisplayLabel(RateName);
    m_percent = new DisplayLabel(PercentName);
    auto *figures = new QHBoxLayout;
    figures->addWidget(m_bytes, 2);
    figures->addWidget(m_rate, 1);
    figures->addWidget(m_percent, 1);
    auto *statusLayout = new QVBoxLayout(statusBox);
    statusLayout->addWidget(m_status);
    statusLayout->addWidget(m_bar);
    statusLayout->addLayout(figures);

    m_start = new QPushButton(StartText);
    m_cancel = new QPushButton(CancelText);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_start);
    buttons->addWidget(m_cancel);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(statusBox);
    layout->addLayout(buttons);

    // Room for a typical URL and the figures side by side.
    setMinimumWidth(fontMetrics().averageCharWidth() * 64);
    onProxyToggled(false);
    const auto edited = [this] { emit valuesEdited(values()); };
    connect(m_url, &QLineEdit::textEdited, this, edited);
    connect(m_local, &QLineEdit::textEdited, this, edited);
    connect(m_proxy, &QLineEdit::textEdited, this, edited);
    connect(m_useProxy, &QCheckBox::toggled, this, [this, edited](bool on) {
        onProxyToggled(on);
        edited();
    });
    connect(m_start, &QPushButton::clicked, this, &PageGetterWindow::onStart);
    connect(m_cancel, &QPushButton::clicked, this, &PageGetterWindow::cancelRequested);
}

PageGetterValues PageGetterWindow::values() const
{
    return { m_url->text(), m_local->text(), m_useProxy->isChecked(), m_proxy->text() };
}

void PageGetterWindow::showValues(const PageGetterValues &values)
{
    m_url->setText(values.url);
    m_local->setText(values.localPath);
    m_proxy->setText(values.proxy);
    const QSignalBlocker blocker(m_useProxy);
    m_useProxy->setChecked(values.useProxy);
    onProxyToggled(values.useProxy);
}

void PageGetterWindow::showStatus(const QString &text)
{
    m_status->setText(text);
}

void PageGetterWindow::showProgress(
    qint64 total, qint64 range, const QString &bytes, const QString &percent, const QString &rate)
{
    // The bar counts in kilobytes beyond what an int holds.
    const int scale = range > std::numeric_limits<int>::max() ? 1024 : 1;
    m_bar->setRange(0, int(qMax<qint64>(1, range / scale)));
    m_bar->setValue(int(total / scale));
    m_bytes->setText(bytes);
    m_percent->setText(percent);
    m_rate->setText(rate);
}

void PageGetterWindow::showWriteFailed()
{
    // Not a child of this window: the message outlives it (the window closes now).
    auto *box = new QMessageBox(QMessageBox::Warning, Title, WriteFailedText, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void PageGetterWindow::onStart()
{
    m_start->setEnabled(false);
    emit valuesEdited(values());
    emit startRequested();
}

void PageGetterWindow::onProxyToggled(bool on)
{
    m_proxy->setEnabled(on);
}
