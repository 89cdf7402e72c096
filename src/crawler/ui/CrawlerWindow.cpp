#include "crawler/ui/CrawlerWindow.h"

#include <QBuffer>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>

namespace {

const QString Title = QStringLiteral("HTTP");
const QString AddressPrompt = QStringLiteral("Adresa:");
const QString ProxyPrompt = QStringLiteral("Proxy:");
const QString StatusName = QStringLiteral("status");
const QString BytesPrompt = QStringLiteral("Prebačeno: ");
const QString RatePrompt = QStringLiteral("K/s:");
const QString PageNumberName = QStringLiteral("Poziv");
const QString HideWorkersText = QStringLiteral("sakrij download");
const QString PicturesText = QStringLiteral("Download");
const QString PreviewOn = QStringLiteral("Preview is ON");
const QString PreviewOff = QStringLiteral("Preview is OFF");
const QString PreviewName = QStringLiteral("preview");
const QString OverwriteText = QStringLiteral("pregazi postoječe");
const QString ConvertLinksText = QStringLiteral("pretvori linkove");
const QString PictureDescription = QStringLiteral("Slika");
const QString LogName = QStringLiteral("Događaji");
const QString HandleColumn = QStringLiteral("hInternet");
const QString StatusColumn = QStringLiteral("status");
const QString DescriptionColumn = QStringLiteral("opis");
const QString FilesName = QStringLiteral("Lokalne datoteke");
const QString LocalColumn = QStringLiteral("Lokal");
const QString SizeColumn = QStringLiteral("byte-ova");
const QString TimeColumn = QStringLiteral("vrijeme");
const QString StartText = QStringLiteral("Start");
const QString AbortText = QStringLiteral("Prekid");
const QString DisconnectText = QStringLiteral("Prekini vezu");
const QString DisconnectTip = QStringLiteral("Prekid veze");
const QString DeleteName = QStringLiteral("Briši lokalnu datoteku");
const QString DeleteQuestion = QStringLiteral("Obrisati lokalnu datoteku|%1 ?");

const QString SizeSample = QStringLiteral("8.888.888.888");
const QString TimeSample = QStringLiteral("88.88.8888 88:88:88");
// Room for the cell's margins and the column separator.
constexpr int ColumnPadding = 16;

// The entry widths of the layout, in characters.
constexpr int AddressLength = 128;
constexpr int ProxyLength = 64;
constexpr int StatusLength = 253;
// The side of the preview, in pixels.
constexpr int PictureSide = 96;

QLineEdit *shownField(const QString &name, QWidget *parent)
{
    auto *field = new QLineEdit(parent);
    field->setReadOnly(true);
    field->setAccessibleName(name.trimmed());
    return field;
}

QTreeWidget *list(const QString &name, const QStringList &columns, QWidget *parent)
{
    auto *view = new QTreeWidget(parent);
    view->setColumnCount(int(columns.size()));
    view->setHeaderLabels(columns);
    view->setRootIsDecorated(false);
    view->setUniformRowHeights(true);
    view->setAccessibleName(name);
    view->header()->setStretchLastSection(false);
    return view;
}

} // namespace

static void initialiseResources()
{
    Q_INIT_RESOURCE(crawler);
}

QIcon CrawlerWindow::fileIcon(int icon) const
{
    const bool known = icon >= LocalFileRow::Queued && icon <= LocalFileRow::Missing;
    return m_icons.at(known ? icon - LocalFileRow::Queued : 0);
}

CrawlerWindow::CrawlerWindow(QWidget *parent)
    : QWidget(parent)
{
    initialiseResources();
    // Each picture is read once: a crawl sets an icon on thousands of rows.
    m_icons = { QIcon(QStringLiteral(":/crawler/icons/insertg.svg")),
        QIcon(QStringLiteral(":/crawler/icons/insertb.svg")), QIcon(QStringLiteral(":/crawler/icons/dittog.svg")),
        QIcon(QStringLiteral(":/crawler/icons/deleteb.svg")), QIcon(QStringLiteral(":/crawler/icons/deleteg.svg")) };
    // The window keeps the program's own icon.
    setWindowTitle(Title);

    m_address = new QLineEdit(this);
    m_address->setMaxLength(AddressLength);
    m_address->setAccessibleName(AddressPrompt);
    auto *addressLabel = new QLabel(AddressPrompt, this);
    addressLabel->setBuddy(m_address);
    m_useProxy = new QCheckBox(ProxyPrompt, this);
    m_proxy = new QLineEdit(this);
    m_proxy->setMaxLength(ProxyLength);
    m_proxy->setAccessibleName(ProxyPrompt);
    m_proxy->setEnabled(false);
    m_status = shownField(StatusName, this);
    m_status->setMaxLength(StatusLength);
    m_bytes = shownField(BytesPrompt, this);
    m_rate = shownField(RatePrompt, this);
    m_pageNumber = shownField(PageNumberName, this);
    QFont small = m_pageNumber->font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    m_pageNumber->setFont(small);
    m_pageNumber->setMaximumWidth(48);
    for (QLineEdit *number : { m_bytes, m_rate, m_pageNumber })
        number->setAlignment(Qt::AlignRight);

    m_hideWorkers = new QCheckBox(HideWorkersText, this);
    m_pictures = new QCheckBox(PicturesText, this);
    m_preview = new QCheckBox(PreviewOff, this);
    m_preview->setAccessibleName(PreviewName);
    m_overwrite = new QCheckBox(OverwriteText, this);
    m_convertLinks = new QCheckBox(ConvertLinksText, this);
    // The picture saved last, while the preview is on; a screen reader reads its file's name.
    m_picture = new QLabel(this);
    m_picture->setFixedSize(PictureSide, PictureSide);
    m_picture->setAlignment(Qt::AlignCenter);
    m_picture->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    m_picture->setAccessibleDescription(PictureDescription);

    m_log = list(LogName, { HandleColumn, StatusColumn, DescriptionColumn }, this);
    m_log->header()->setSectionResizeMode(2, QHeaderView::Stretch);
    m_log->setColumnWidth(0, 80);
    m_log->setColumnWidth(1, 60);
    m_files = list(FilesName, { LocalColumn, SizeColumn, TimeColumn }, this);
    m_files->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    // Wide enough for a size of gigabytes and a whole "dd.mm.yyyy hh:mm:ss".
    const QFontMetrics metrics = m_files->fontMetrics();
    m_files->setColumnWidth(1, metrics.horizontalAdvance(SizeSample) + ColumnPadding);
    m_files->setColumnWidth(2, metrics.horizontalAdvance(TimeSample) + ColumnPadding);
    m_files->setIconSize(QSize(16, 16));
    // The file name is at the end of a long path: keep it in sight.
    m_files->setTextElideMode(Qt::ElideMiddle);

    m_start = new QPushButton(fileIcon(LocalFileRow::Present), StartText, this);
    m_abort = new QPushButton(AbortText, this);
    m_disconnect = new QPushButton(DisconnectText, this);
    m_disconnect->setToolTip(DisconnectTip);
    m_disconnect->setCursor(Qt::PointingHandCursor);
    m_delete = new QPushButton(fileIcon(LocalFileRow::Missing), QString(), this);
    m_delete->setToolTip(DeleteName);
    m_delete->setAccessibleName(DeleteName);

    auto *grid = new QGridLayout(this);
    grid->addWidget(addressLabel, 0, 0);
    grid->addWidget(m_address, 0, 1, 1, 5);
    grid->addWidget(m_useProxy, 1, 0);
    grid->addWidget(m_proxy, 1, 1, 1, 5);
    grid->addWidget(m_status, 2, 0, 1, 6);
    const QList<QPair<QString, QLineEdit *>> numbers { { BytesPrompt, m_bytes }, { RatePrompt, m_rate } };
    for (int i = 0; i < numbers.size(); ++i) {
        auto *label = new QLabel(numbers[i].first, this);
        label->setBuddy(numbers[i].second);
        grid->addWidget(label, 3, i * 2);
        grid->addWidget(numbers[i].second, 3, i * 2 + 1);
    }
    grid->addWidget(m_pageNumber, 3, 5, Qt::AlignRight);
    // Two rows, so that every box's text shows whole in the window's width.
    auto *flags = new QGridLayout;
    const QList<QCheckBox *> boxes { m_hideWorkers, m_pictures, m_preview, m_overwrite, m_convertLinks };
    for (qsizetype i = 0; i < boxes.size(); ++i)
        flags->addWidget(boxes.at(i), int(i / 3), int(i % 3));
    flags->setColumnStretch(3, 1);
    grid->addLayout(flags, 4, 0, 1, 6);
    grid->addWidget(m_picture, 0, 6, 5, 1, Qt::AlignTop);
    grid->addWidget(m_log, 5, 0, 1, 7);
    grid->addWidget(m_files, 6, 0, 1, 7);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *button : { m_start, m_abort, m_disconnect })
        buttons->addWidget(button);
    buttons->addStretch();
    buttons->addWidget(m_delete);
    grid->addLayout(buttons, 7, 0, 1, 7);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(5, 1);
    grid->setRowStretch(6, 2);
    resize(560, 560);

    // Until the engine has told its settings, what the user typed would be lost to them.
    setEnabled(false);

    m_confirm = [this](const QString &path) {
        const QString text = DeleteQuestion.arg(path).replace(u'|', u'\n');
        return QMessageBox::question(this, Title, text) == QMessageBox::Yes;
    };

    connect(m_useProxy, &QCheckBox::toggled, m_proxy, &QLineEdit::setEnabled);
    connect(m_preview, &QCheckBox::toggled, this, &CrawlerWindow::showPreviewState);
    for (QLineEdit *field : { m_address, m_proxy })
        connect(field, &QLineEdit::textChanged, this, &CrawlerWindow::sendFields);
    for (QCheckBox *box : { m_useProxy, m_hideWorkers, m_pictures, m_preview, m_overwrite, m_convertLinks })
        connect(box, &QCheckBox::toggled, this, &CrawlerWindow::sendFields);
    connect(m_start, &QPushButton::clicked, this, &CrawlerWindow::startRequested);
    connect(m_abort, &QPushButton::clicked, this, &CrawlerWindow::abortRequested);
    connect(m_disconnect, &QPushButton::clicked, this, &CrawlerWindow::disconnectRequested);
    connect(m_delete, &QPushButton::clicked, this, &CrawlerWindow::deleteSelected);
}

CrawlerEngine::Fields CrawlerWindow::fields() const
{
    CrawlerEngine::Fields fields;
    fields.address = m_address->text();
    fields.proxy = m_proxy->text();
    fields.useProxy = m_useProxy->isChecked();
    fields.pictures = m_pictures->isChecked();
    fields.preview = m_preview->isChecked();
    fields.overwrite = m_overwrite->isChecked();
    fields.convertLinks = m_convertLinks->isChecked();
    fields.hideWorkers = m_hideWorkers->isChecked();
    return fields;
}

QString CrawlerWindow::statusText() const
{
    return m_status->text();
}

QString CrawlerWindow::filesHeader() const
{
    return m_files->headerItem()->text(0);
}

void CrawlerWindow::showFields(const CrawlerEngine::Fields &fields)
{
    m_showingFields = true;
    m_address->setText(fields.address);
    m_proxy->setText(fields.proxy);
    m_useProxy->setChecked(fields.useProxy);
    m_proxy->setEnabled(fields.useProxy);
    m_pictures->setChecked(fields.pictures);
    m_preview->setChecked(fields.preview);
    m_overwrite->setChecked(fields.overwrite);
    m_convertLinks->setChecked(fields.convertLinks);
    m_hideWorkers->setChecked(fields.hideWorkers);
    showPreviewState();
    m_showingFields = false;
    setEnabled(true);
}

void CrawlerWindow::sendFields()
{
    if (!m_showingFields)
        emit fieldsEdited(fields());
}

void CrawlerWindow::showPreviewState()
{
    m_preview->setText(m_preview->isChecked() ? PreviewOn : PreviewOff);
    m_picture->setVisible(m_preview->isChecked());
}

void CrawlerWindow::deleteSelected()
{
    QTreeWidgetItem *item = m_files->currentItem();
    if (!item)
        return;
    const QString path = item->text(0);
    if (m_confirm(path))
        emit deleteRequested(path);
}

void CrawlerWindow::applyUpdate(const CrawlerUpdate &update)
{
    m_status->setText(update.status);
    m_bytes->setText(QString::number(update.bytes));
    m_rate->setText(QString::number(update.rate, 'f', 1));
    m_pageNumber->setText(QString::number(update.pageCounter));
    if (!update.header.isEmpty())
        m_files->headerItem()->setText(0, update.header);
    applyFiles(update);
    applyLog(update);
    applyPreview(update);
}

void CrawlerWindow::applyPreview(const CrawlerUpdate &update)
{
    if (update.previewPath.isEmpty())
        return;
    QBuffer bytes;
    bytes.setData(update.previewBytes);
    QImageReader reader(&bytes);
    reader.setAutoTransform(true);
    // A large picture is decoded at the size it is shown at.
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > PictureSide || size.height() > PictureSide))
        reader.setScaledSize(size.scaled(PictureSide, PictureSide, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    const QImage image = reader.read();
    m_picture->setPixmap(QPixmap::fromImage(image));
    m_picture->setAccessibleName(image.isNull() ? QString() : update.previewPath);
}

void CrawlerWindow::applyFiles(const CrawlerUpdate &update)
{
    if (update.filesReset)
        m_files->clear();
    QList<QTreeWidgetItem *> added;
    for (qsizetype i = 0; i < update.fileIndices.size(); ++i) {
        const int index = update.fileIndices.at(i);
        const LocalFileRow &row = update.fileRows.at(i);
        QTreeWidgetItem *item = index < m_files->topLevelItemCount() ? m_files->topLevelItem(index) : nullptr;
        if (!item) {
            item = new QTreeWidgetItem;
            item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
            added.append(item);
        }
        item->setIcon(0, fileIcon(row.icon));
        item->setText(0, row.path);
        item->setText(1, row.size);
        item->setText(2, row.time);
    }
    m_files->addTopLevelItems(added);
}

void CrawlerWindow::applyLog(const CrawlerUpdate &update)
{
    auto item = [](const EventLogRow &row) {
        return new QTreeWidgetItem(QStringList { row.handle, row.status, row.description });
    };
    if (update.logReset) {
        m_log->clear();
        m_errorItems = 0;
    }
    QList<QTreeWidgetItem *> errors;
    for (const EventLogRow &row : update.errorsAdded)
        errors.append(item(row));
    m_log->insertTopLevelItems(m_errorItems, errors);
    m_errorItems += int(errors.size());
    if (!update.eventsChanged)
        return;
    while (m_log->topLevelItemCount() > m_errorItems)
        delete m_log->takeTopLevelItem(m_errorItems);
    QList<QTreeWidgetItem *> events;
    for (const EventLogRow &row : update.events)
        events.append(item(row));
    m_log->addTopLevelItems(events);
    m_log->scrollToBottom();
}
