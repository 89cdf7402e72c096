#include "shell/ui/DialUpWindow.h"

#include "platform/DialogUnits.h"

#include <QLineEdit>
#include <QPushButton>

namespace {

const QString Title = QStringLiteral("DialUp");
const QString DialText = QStringLiteral("Poziv");
const QString NameRole = QStringLiteral("Veza");

// The entry's picture: a connection name of up to 255 characters.
constexpr int NameLength = 255;

constexpr QSize WindowUnits { 173, 52 };
constexpr QRect NameUnits { 27, 14, 119, 10 };
constexpr QRect DialUnits { 62, 33, 49, 14 };

// An entry field keeps at least the height its style needs to show its text.
QRect atLeastHint(QRect pixels, const QWidget *control)
{
    const int grow = control->sizeHint().height() - pixels.height();
    if (grow > 0)
        pixels.adjust(0, -grow / 2, 0, grow - grow / 2);
    return pixels;
}

} // namespace

DialUpWindow::DialUpWindow(QWidget *parent)
    : QWidget(parent)
{
    setWindowTitle(Title);
    const DialogUnits units = DialogUnits::of(QFontMetrics(font()));

    m_name = new QLineEdit(this);
    m_name->setMaxLength(NameLength);
    m_name->setAccessibleName(NameRole);
    m_name->setGeometry(atLeastHint(units.toPixels(NameUnits), m_name));

    m_dial = new QPushButton(DialText, this);
    m_dial->setAccessibleName(DialText);
    m_dial->setDefault(true);
    m_dial->setGeometry(atLeastHint(units.toPixels(DialUnits), m_dial));

    setFixedSize(units.toPixels(WindowUnits));

    connect(m_dial, &QPushButton::clicked, this, [this] { emit dialRequested(m_name->text()); });
    connect(m_name, &QLineEdit::returnPressed, m_dial, &QPushButton::click);
}

QString DialUpWindow::connectionName() const
{
    return m_name->text();
}

void DialUpWindow::showConnectionName(const QString &name)
{
    m_name->setText(name);
}
