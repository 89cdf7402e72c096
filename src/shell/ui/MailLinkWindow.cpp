#include "shell/ui/MailLinkWindow.h"

#include "platform/DialogUnits.h"
#include "shell/ui/AuthorAddress.h"

#include <QApplication>
#include <QDesktopServices>
#include <QPushButton>
#include <QUrl>

namespace {

const QString Title = QStringLiteral("Link");

constexpr QSize WindowUnits { 173, 52 };
constexpr QRect AddressUnits { 40, 16, 93, 14 };

} // namespace

MailLinkWindow::MailLinkWindow(QWidget *parent)
    : QWidget(parent)
{
    setWindowTitle(Title);
    const DialogUnits units = DialogUnits::of(QFontMetrics(font()));

    m_address = new QPushButton(authorAddress(), this);
    m_address->setAccessibleName(authorAddress());
    m_address->setCursor(Qt::PointingHandCursor);
    QRect button = units.toPixels(AddressUnits);
    // The address is shown whole, however wide the font makes it.
    const int grow = m_address->sizeHint().width() - button.width();
    if (grow > 0)
        button.adjust(-grow / 2, 0, grow - grow / 2, 0);
    m_address->setGeometry(button);

    setFixedSize(units.toPixels(WindowUnits));

    connect(m_address, &QPushButton::clicked, this, &MailLinkWindow::openLink);
}

QString MailLinkWindow::procedureName()
{
    return QStringLiteral("MailShell");
}

QUrl MailLinkWindow::link()
{
    return QUrl(QStringLiteral("mailto:") + authorAddress());
}

void MailLinkWindow::openLink()
{
    // The desktop's handler starts the mail program on its own; nothing here waits for it.
    QDesktopServices::openUrl(link());
    QApplication::beep();
}
