#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

// The program's own pictures, drawn as SVG: the frame icon ("torvex"), the
// frame's wallpaper ("wallpaper") and icons any tool may use: "folder",
// "file", "globe", "info", "drive".
namespace ShellIcons {

// Transparent when no picture has the name.
QPixmap pixmap(const QString &name, const QSize &size);
// Rendered at the usual icon sizes.
QIcon icon(const QString &name);

} // namespace ShellIcons
