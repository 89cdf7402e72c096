#include "server/ui/ServerWindow.h"

#include "shell/widgets/DisplayLabel.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QStyle>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QString Caption = QStringLiteral("WSck server");
const QString PortText = QStringLiteral("ws  Http Server - port %1");
const QString PortName = QStringLiteral("port");
const QString TimeColumn = QStringLiteral("vrijeme");
const QString StatusColumn = QStringLiteral("status");
const QString DirectoryPrompt = QStringLiteral("Direktorij:");
const QString ChooserTitle = QStringLiteral("Izbor");
const QString PagePrompt = QStringLiteral("Strana:");
const QString ListingText = QStringLiteral("dozvoli pristup podacima na disku");
const QString HitPrompt = QStringLiteral("Hit:");
const QString SentPrompt = QStringLiteral("Poslano:");
const QString DelayPrompt = QStringLiteral("Kašnjenje ms");
constexpr int FieldCapacity = 128;
constexpr int CounterDigits = 12;
constexpr int MaxDelay = 2000;
constexpr int DelayStep = 10;

QString counterText(qint64 value)
{
    return value == 0 ? QString() : QString::number(value);
}

QLabel *promptFor(const QString &text, QWidget *field)
{
    auto *label = new QLabel(text);
    label->setBuddy(field);
    return label;
}

QLineEdit *counterField()
{
    auto *field = new QLineEdit;
    field->setReadOnly(true);
    field->setMaxLength(CounterDigits);
    field->setAlignment(Qt::AlignRight);
    return field;
}

} // namespace

ServerWindow::ServerWindow(QWidget *parent)
    : QWidget(parent)
    , m_portLabel(new DisplayLabel)
    , m_port(new QSpinBox)
    , m_log(new QTreeWidget)
    , m_directory(new QLineEdit)
    , m_chooser(new QToolButton)
    , m_page(new QLineEdit)
    , m_listing(new QCheckBox(ListingText))
    , m_hits(counterField())
    , m_sent(counterField())
    , m_delay(new QSpinBox)
{
    setWindowTitle(Caption);
    setWindowIcon(style()->standardIcon(QStyle::SP_DriveNetIcon));

    auto *icon = new QLabel;
    icon->setPixmap(style()->standardIcon(QStyle::SP_DriveNetIcon).pixmap(32, 32));
    m_port->setRange(1, 65535);
    m_port->setKeyboardTracking(false);
    m_port->setAccessibleName(PortName);
    m_portLabel->setBuddy(m_port);
    showPort(80);
    auto *top = new QHBoxLayout;
    top->addWidget(icon);
    top->addWidget(m_portLabel);
    top->addWidget(m_port);
    top->addStretch();

    m_log->setColumnCount(2);
    m_log->setHeaderLabels({ TimeColumn, StatusColumn });
    m_log->setRootIsDecorated(false);
    m_log->setUniformRowHeights(true);
    m_log->setSelectionMode(QAbstractItemView::NoSelection);
    m_log->setAccessibleName(StatusColumn);
    m_log->header()->resizeSection(0, fontMetrics().horizontalAdvance(QStringLiteral("00.00.0000 00:00:00")) + 16);

    m_directory->setMaxLength(FieldCapacity);
    m_page->setMaxLength(FieldCapacity);
    m_chooser->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    m_chooser->setToolTip(ChooserTitle);
    m_chooser->setAccessibleName(ChooserTitle);
    m_listing->setChecked(true);
    m_delay->setRange(0, MaxDelay);
    m_delay->setSingleStep(DelayStep);
    m_delay->setSpecialValueText(QStringLiteral(" ")); // blank at zero
    m_delay->setKeyboardTracking(false);
    m_delay->setAccessibleName(DelayPrompt);

    auto *fields = new QGridLayout;
    fields->addWidget(promptFor(DirectoryPrompt, m_directory), 0, 0);
    fields->addWidget(m_directory, 0, 1);
    fields->addWidget(m_chooser, 0, 2);
    fields->addWidget(promptFor(PagePrompt, m_page), 1, 0);
    fields->addWidget(m_page, 1, 1, 1, 2);
    fields->addWidget(m_listing, 2, 1, 1, 2);

    auto *counters = new QHBoxLayout;
    counters->addWidget(promptFor(HitPrompt, m_hits));
    counters->addWidget(m_hits);
    counters->addWidget(promptFor(SentPrompt, m_sent));
    counters->addWidget(m_sent);
    counters->addWidget(promptFor(DelayPrompt, m_delay));
    counters->addWidget(m_delay);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_log, 1);
    layout->addLayout(fields);
    layout->addLayout(counters);

    connect(m_directory, &QLineEdit::editingFinished, this, [this] { emit directoryEdited(m_directory->text()); });
    connect(m_page, &QLineEdit::editingFinished, this, [this] { emit defaultPageEdited(m_page->text()); });
    connect(m_listing, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_showingFields)
            emit listingToggled(on);
    });
    connect(m_delay, &QSpinBox::valueChanged, this, [this](int value) {
        if (!m_showingFields)
            emit delayEdited(value);
    });
    connect(m_port, &QSpinBox::valueChanged, this, [this](int value) {
        if (!m_showingFields)
            emit portEdited(value);
    });
    connect(m_chooser, &QToolButton::clicked, this, &ServerWindow::chooseDirectory);
}

void ServerWindow::showFields(
    const QString &directory, const QString &defaultPage, int delay, bool listingAllowed, int port)
{
    m_showingFields = true;
    m_directory->setText(directory);
    m_page->setText(defaultPage);
    m_delay->setValue(delay);
    m_listing->setChecked(listingAllowed);
    m_port->setValue(port);
    m_showingFields = false;
    showPort(port);
}

void ServerWindow::showCaption(const QString &caption)
{
    setWindowTitle(caption);
}

void ServerWindow::showPort(int port)
{
    m_portLabel->setText(PortText.arg(port));
}

void ServerWindow::showLog(const ServerLogUpdate &update)
{
    if (update.cleared)
        m_log->clear();
    QList<QTreeWidgetItem *> items;
    items.reserve(update.rows.size());
    for (const auto &row : update.rows)
        items.append(new QTreeWidgetItem({ row.time, row.status }));
    m_log->addTopLevelItems(items);
    if (!items.isEmpty())
        m_log->scrollToItem(items.last());
    m_hits->setText(counterText(update.hits));
    m_sent->setText(counterText(update.bytesSent));
}

void ServerWindow::chooseDirectory()
{
    if (m_dialog)
        return;
    m_dialog = new QFileDialog(this, ChooserTitle, m_directory->text());
    m_dialog->setFileMode(QFileDialog::Directory);
    m_dialog->setOption(QFileDialog::ShowDirsOnly);
    m_dialog->setOption(QFileDialog::DontUseNativeDialog);
    m_dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_dialog, &QFileDialog::fileSelected, this, [this](const QString &chosen) {
        if (chosen.isEmpty())
            return;
        const QString directory = chosen.endsWith(u'/') ? chosen : chosen + u'/';
        m_directory->setText(directory);
        emit directoryEdited(directory);
    });
    m_dialog->open();
}
