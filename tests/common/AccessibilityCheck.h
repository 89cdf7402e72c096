#pragma once

#include <QStringList>

class QLabel;
class QWidget;

// Walks every control of a window, through Qt's accessibility interface, and
// returns a description of each fault a screen reader would meet:
// - a button, check box, entry field, spin box, list or list column without a name;
// - a visible label whose name is not the text it shows (a fixed name over a
//   changing text, or a text the interface spells differently).
QStringList accessibilityFaults(QWidget *window);

// What a label shows, as a sighted user reads it: rich text as plain text,
// and a shortcut mark ("&") only where the label has a buddy.
QString shownText(const QLabel *label);
