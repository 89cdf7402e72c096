#pragma once

#include <QStringList>

class QWidget;

// Walks every control of a window and returns a description of each one that a
// screen reader could not name: buttons, check boxes, entry fields, spin boxes,
// lists and their column headers must all carry an accessible name.
QStringList unnamedControls(QWidget *window);
