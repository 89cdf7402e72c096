#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <chrono>
#include <functional>

class QAbstractButton;
class QLineEdit;
class QMdiArea;
class QMdiSubWindow;

// The tour works the windows as a user does, finding each control by the name
// a screen reader gives it, so a change of layout does not break it.
namespace tour {

// The name a screen reader gives the widget.
QString accessibleName(QWidget *widget);

// The control of the given kind inside window whose accessible name is name, or null.
template <typename Control> Control *control(QWidget *window, const QString &name)
{
    const QList<Control *> candidates = window->findChildren<Control *>();
    for (Control *candidate : candidates) {
        if (accessibleName(candidate) == name)
            return candidate;
    }
    return nullptr;
}

// The accessible names of the window's controls, to tell what a tour step missed.
QStringList controlNames(QWidget *window);

// Replaces the field's text by typing, key by key.
void type(QLineEdit *field, const QString &text);
void press(QAbstractButton *button);

// Runs the event loop until done() holds or the limit passes; tells which.
bool waitFor(const std::function<bool()> &done, std::chrono::milliseconds limit);

// Waits for a sub-window that was not among before (taken just before a menu
// item was chosen) and returns it, or null when none appeared.
QMdiSubWindow *newSubWindow(QMdiArea *area, const QList<QMdiSubWindow *> &before);

} // namespace tour
