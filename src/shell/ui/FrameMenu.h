#pragma once

#include "shell/ui/MenuItem.h"

#include <QList>
#include <QString>

#include <optional>

// One line of the frame's menu table: a menu of the menu bar, an item of the
// menu above it, or a separator. The status text is shown in the first status
// zone while the entry is highlighted.
struct FrameMenuEntry
{
    enum class Kind { Menu, Item, Separator };
    Kind kind = Kind::Item;
    QString caption;
    QString statusText;
    // Menus without a number have none in the table.
    std::optional<MenuItem> number;
};

// The whole menu in order; the Window menu lists the open child windows after
// its last entry.
const QList<FrameMenuEntry> &frameMenuTable();
