#include "shell/ui/InfoBox.h"

#include <QIcon>

namespace {

constexpr int LogoSize = 32;

} // namespace

// Outside any namespace: the resource's initialiser is declared where it is used.
static void initialiseResources()
{
    Q_INIT_RESOURCE(InfoBox);
}

InfoBox::InfoBox(const QString &caption, QWidget *parent)
    : QMessageBox(parent)
{
    initialiseResources();
    setWindowTitle(caption);
    setWindowModality(Qt::NonModal);
    // Names, labels and mount points are shown as they are, never as markup.
    setTextFormat(Qt::PlainText);
    const QIcon logo(QStringLiteral(":/infobox/logo.svg"));
    setIconPixmap(logo.pixmap(LogoSize, LogoSize));
    setWindowIcon(logo);
    setStandardButtons(QMessageBox::Ok);
    setDefaultButton(QMessageBox::Ok);
}

QString InfoBox::displayedText(const QString &text)
{
    QStringList lines = text.split(u'|');
    // A line's trailing blanks are not visible; dropping them keeps the box narrow.
    for (QString &line : lines) {
        while (line.endsWith(u' '))
            line.chop(1);
    }
    return lines.join(u'\n');
}

void InfoBox::showText(const QString &text)
{
    setText(displayedText(text));
}

void InfoBox::done(int result)
{
    QMessageBox::done(result);
    close();
}
