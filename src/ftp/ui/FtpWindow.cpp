#include "ftp/ui/FtpWindow.h"

#include "platform/TrailingBlanks.h"
#include "shell/widgets/DisplayLabel.h"

#include <QApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>

namespace {

const QString Title = QStringLiteral("FTP");
const QString ServerPrompt = QStringLiteral("Server");
const QString UserPrompt = QStringLiteral("Korisnik");
const QString PasswordPrompt = QStringLiteral("Lozinka");
const QString ConnectText = QStringLiteral("Spoji se");
const QString DirectoryPrompt = QStringLiteral("Podatke (download),\nsnimaj u");
const QString DirectoryName = QStringLiteral("Podatke (download), snimaj u");
const QString ChooserTip = QStringLiteral("Izbor direktorija");
const QString ChooserTitle = QStringLiteral("Izbor");
const QString ListTip = QStringLiteral("Desni klik za download");
const QString DateColumn = QStringLiteral("Datum");
const QString SizeColumn = QStringLiteral("Kb");
const QString UseDoubleClick = QStringLiteral("~koristi lijevi dvoklik");
const QString DownloadTo = QStringLiteral("Prebaci u ");
const QString StatusName = QStringLiteral("Status");
const QString StopText = QStringLiteral("Prekid");
const QString StopTip = QStringLiteral("Prekini download; primljeni dio ostaje za nastavak");
const QString CertificateTitle = QStringLiteral("Certifikat servera");
const QString QuestionText
    = QStringLiteral("Server %1 pokazuje certifikat za koji ne jamči nitko od poznatih izdavača.\n\n"
                     "SHA-256 otisak:\n%2\n\n"
                     "Provjerite otisak kod vlasnika servera. Vjerovati ovom certifikatu za taj server?");
const QString ChangedText = QStringLiteral("Server %1 sada pokazuje drugi certifikat od onog kojem ste vjerovali.\n\n"
                                           "SHA-256 otisak:\n%2\n\n"
                                           "Veza je odbijena: netko se možda predstavlja kao taj server.");
const QString YesText = QStringLiteral("Da");
const QString NoText = QStringLiteral("Ne");

// The entry widths of the layout, in characters.
constexpr int ServerLength = 127;
constexpr int UserLength = 63;
constexpr int DirectoryLength = 255;

QIcon rowIcon(FtpRow::Icon icon)
{
    switch (icon) {
    case FtpRow::ParentIcon:
        return QIcon(QStringLiteral(":/ftp/icons/ftproot.svg"));
    case FtpRow::DirectoryIcon:
        return QIcon(QStringLiteral(":/ftp/icons/ftpdir.svg"));
    case FtpRow::ArchiveIcon:
        return QIcon(QStringLiteral(":/ftp/icons/ftpzip.svg"));
    case FtpRow::LinkIcon:
        return QIcon(QStringLiteral(":/ftp/icons/ftplink.svg"));
    case FtpRow::FileIcon:
        break;
    }
    return QIcon(QStringLiteral(":/ftp/icons/ftptxt.svg"));
}

QLineEdit *entry(const QString &prompt, int length, QWidget *parent)
{
    auto *field = new QLineEdit(parent);
    field->setMaxLength(length);
    field->setAccessibleName(prompt);
    return field;
}

} // namespace

static void initialiseResources()
{
    Q_INIT_RESOURCE(ftp);
}

FtpWindow::FtpWindow(QWidget *parent)
    : QWidget(parent)
{
    initialiseResources();
    setWindowTitle(Title);
    setWindowIcon(rowIcon(FtpRow::DirectoryIcon));

    // The controls are made in layout order, which is also their tab order.
    m_server = entry(ServerPrompt, ServerLength, this);
    m_user = entry(UserPrompt, UserLength, this);
    m_password = entry(PasswordPrompt, UserLength, this);
    m_password->setEchoMode(QLineEdit::Password);

    m_connect = new QPushButton(QIcon(QStringLiteral(":/ftp/icons/spoji.svg")), ConnectText, this);
    m_connect->setCursor(Qt::PointingHandCursor);
    m_connect->setAccessibleName(ConnectText);

    m_directory = entry(DirectoryName, DirectoryLength, this);

    m_chooser = new QToolButton(this);
    m_chooser->setIcon(rowIcon(FtpRow::DirectoryIcon));
    m_chooser->setToolTip(ChooserTip);
    m_chooser->setAccessibleName(ChooserTip);

    m_list = new QTreeWidget(this);
    m_list->setColumnCount(3);
    m_list->setHeaderLabels({ ServerPrompt, DateColumn, SizeColumn });
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setToolTip(ListTip);
    m_list->setAccessibleName(ListTip);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_list->setColumnWidth(1, 120);
    m_list->setColumnWidth(2, 60);
    m_list->setIconSize(QSize(16, 16));
    m_list->viewport()->installEventFilter(this);

    m_status = new DisplayLabel(StatusName, this);
    m_status->setFrameShape(QFrame::StyledPanel);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long text (a long file name) is cut at the window's edge instead of
    // making the whole window as wide as the text.
    m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    m_stop = new QPushButton(StopText, this);
    m_stop->setToolTip(StopTip);
    m_stop->setAccessibleName(StopText);
    m_stop->setEnabled(false);

    auto *grid = new QGridLayout(this);
    const QList<QPair<QString, QLineEdit *>> prompts { { ServerPrompt, m_server }, { UserPrompt, m_user },
        { PasswordPrompt, m_password }, { DirectoryPrompt, m_directory } };
    for (int row = 0; row < prompts.size(); ++row) {
        auto *label = new QLabel(prompts[row].first, this);
        label->setBuddy(prompts[row].second);
        grid->addWidget(label, row, 0);
        grid->addWidget(prompts[row].second, row, 1);
    }
    grid->addWidget(m_connect, 2, 2);
    grid->addWidget(m_chooser, 3, 2);
    grid->addWidget(m_list, 4, 0, 1, 3);
    grid->addWidget(m_status, 5, 0, 1, 2);
    grid->addWidget(m_stop, 5, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(4, 1);
    resize(440, 460);

    for (QLineEdit *field : { m_server, m_user, m_password, m_directory })
        connect(field, &QLineEdit::textChanged, this, &FtpWindow::sendFields);
    // Until the engine has read the settings, typing would race its values.
    setEnabled(false);
    connect(m_connect, &QPushButton::clicked, this, &FtpWindow::connectRequested);
    connect(m_chooser, &QToolButton::clicked, this, &FtpWindow::chooseDirectory);
    connect(m_list, &QTreeWidget::customContextMenuRequested, this, &FtpWindow::showMenu);
    connect(m_stop, &QPushButton::clicked, this, &FtpWindow::stopRequested);
}

QString FtpWindow::statusText() const
{
    return m_status->text();
}

void FtpWindow::showFields(
    const QString &server, const QString &user, const QString &password, const QString &downloadDirectory)
{
    // The engine already holds these values; they are not sent back one by one.
    m_showingFields = true;
    m_server->setText(server);
    m_user->setText(user);
    m_password->setText(password);
    m_directory->setText(downloadDirectory);
    m_showingFields = false;
    setEnabled(true);
}

void FtpWindow::showStatus(const QString &text)
{
    m_status->setText(text);
}

void FtpWindow::showCaption(const QString &caption)
{
    setWindowTitle(caption);
}

void FtpWindow::showRows(const FtpRows &rows)
{
    m_rows = rows;
    m_list->clear();
    QList<QTreeWidgetItem *> items;
    items.reserve(rows.size());
    for (const FtpRow &row : rows) {
        auto *item = new QTreeWidgetItem({ row.shownName(), row.date, row.size });
        item->setIcon(0, rowIcon(row.icon()));
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        items.append(item);
    }
    m_list->addTopLevelItems(items);
}

void FtpWindow::setTransferring(bool transferring)
{
    m_transferring = transferring;
    m_stop->setEnabled(transferring);
}

void FtpWindow::askAboutCertificate(const QString &server, const QString &fingerprint)
{
    QMessageBox *box = showCertificateBox(QuestionText.arg(server, fingerprint));
    box->setIcon(QMessageBox::Question);
    QPushButton *yes = box->addButton(YesText, QMessageBox::YesRole);
    box->setDefaultButton(box->addButton(NoText, QMessageBox::NoRole));
    connect(
        box, &QMessageBox::finished, this, [this, box, yes] { emit certificateAnswered(box->clickedButton() == yes); });
    box->open();
}

void FtpWindow::warnOfChangedCertificate(const QString &server, const QString &fingerprint)
{
    QMessageBox *box = showCertificateBox(ChangedText.arg(server, fingerprint));
    box->setIcon(QMessageBox::Warning);
    box->addButton(QMessageBox::Ok);
    box->open();
}

QMessageBox *FtpWindow::showCertificateBox(const QString &text)
{
    // A newer question replaces one still open; its answer no longer counts.
    if (m_certificateBox) {
        m_certificateBox->disconnect(this);
        m_certificateBox->deleteLater();
    }
    auto *box = new QMessageBox(this);
    box->setWindowTitle(CertificateTitle);
    box->setText(text);
    box->setTextInteractionFlags(Qt::TextSelectableByMouse);
    box->setAttribute(Qt::WA_DeleteOnClose);
    m_certificateBox = box;
    connect(box, &QObject::destroyed, this, [this, box] {
        if (m_certificateBox == box)
            m_certificateBox = nullptr;
    });
    return box;
}

void FtpWindow::beep(bool)
{
    // The desktop has one bell for the good news and the bad.
    QApplication::beep();
}

QMenu *FtpWindow::menuForRow(int row)
{
    if (row < 0 || row >= m_rows.size())
        return nullptr;
    auto *menu = new QMenu(this);
    if (!m_rows.at(row).isDownloadable()) {
        menu->addAction(UseDoubleClick);
        return menu;
    }
    // An "&" of the directory is shown as itself, not taken as a shortcut mark.
    const QString directory = withoutTrailingBlanks(m_directory->text()).replace(u'&', QStringLiteral("&&"));
    QAction *download = menu->addAction(QIcon(QStringLiteral(":/ftp/icons/prebaci.svg")), DownloadTo + directory);
    // One download at a time: the next one waits for the running one to end.
    download->setEnabled(!m_transferring);
    const QString name = m_rows.at(row).name;
    connect(download, &QAction::triggered, this, [this, row, name] { emit downloadRequested(row, name); });
    return menu;
}

bool FtpWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton) {
            const QModelIndex index = m_list->indexAt(mouse->position().toPoint());
            if (index.isValid() && index.row() < m_rows.size())
                emit rowActivated(index.row(), m_rows.at(index.row()).name);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FtpWindow::chooseDirectory()
{
    const QString chosen = QFileDialog::getExistingDirectory(this, ChooserTitle, m_directory->text());
    if (!chosen.isEmpty())
        m_directory->setText(chosen.endsWith(u'/') ? chosen : chosen + u'/');
}

void FtpWindow::sendFields()
{
    if (!m_showingFields)
        emit fieldsEdited(m_server->text(), m_user->text(), m_password->text(), m_directory->text());
}

void FtpWindow::showMenu(const QPoint &position)
{
    const QModelIndex index = m_list->indexAt(position);
    if (!index.isValid())
        return;
    QMenu *menu = menuForRow(index.row());
    if (!menu)
        return;
    menu->exec(m_list->viewport()->mapToGlobal(position));
    menu->deleteLater();
}
