#include "shell/ui/InfoBox.h"

#include "platform/TrailingBlanks.h"
#include "shell/ui/ShellIcons.h"

namespace {

// The program's own logo stands where the system's logo stood.
const QString Logo = QStringLiteral("torvex");
constexpr QSize LogoSize { 32, 32 };

} // namespace

InfoBox::InfoBox(const QString &caption, QWidget *parent)
    : QMessageBox(parent)
{
    setWindowTitle(caption);
    setWindowModality(Qt::NonModal);
    // Names, labels and mount points are shown as they are, never as markup.
    setTextFormat(Qt::PlainText);
    setIconPixmap(ShellIcons::pixmap(Logo, LogoSize));
    setWindowIcon(ShellIcons::icon(Logo));
    setStandardButtons(QMessageBox::Ok);
    setDefaultButton(QMessageBox::Ok);
}

QString InfoBox::displayedText(const QString &text)
{
    QStringList lines = text.split(u'|');
    // A line's trailing blanks are not visible; dropping them keeps the box narrow.
    for (QString &line : lines)
        line = withoutTrailingBlanks(line);
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
