#include "shell/ui/ShellIcons.h"

#include <QPainter>
#include <QSvgRenderer>

#include <array>

// The pictures live in a static library: nothing would pull their resource
// object into the program unless it is registered by name.
static void registerPictures()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(shell);
        return true;
    }();
    (void)registered;
}

QPixmap ShellIcons::pixmap(const QString &name, const QSize &size)
{
    registerPictures();
    QSvgRenderer renderer(QStringLiteral(":/torvex/icons/%1.svg").arg(name));
    QPixmap picture(size);
    picture.fill(Qt::transparent);
    if (!renderer.isValid())
        return picture;
    QPainter painter(&picture);
    renderer.render(&painter);
    return picture;
}

QIcon ShellIcons::icon(const QString &name)
{
    QIcon icon;
    for (int side : std::array { 16, 24, 32, 48, 64, 128 })
        icon.addPixmap(pixmap(name, QSize(side, side)));
    return icon;
}
