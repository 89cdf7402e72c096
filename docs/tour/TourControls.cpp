#include "TourControls.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>

using namespace std::chrono_literals;

namespace tour {

QString accessibleName(QWidget *widget)
{
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible ? accessible->text(QAccessible::Name) : QString();
}

QStringList controlNames(QWidget *window)
{
    QStringList names;
    const QList<QWidget *> children = window->findChildren<QWidget *>();
    for (QWidget *child : children) {
        const QString name = accessibleName(child);
        if (!name.isEmpty())
            names.append(name);
    }
    return names;
}

void type(QLineEdit *field, const QString &text)
{
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
}

void press(QAbstractButton *button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

bool waitFor(const std::function<bool()> &done, std::chrono::milliseconds limit)
{
    return QTest::qWaitFor(done, int(limit.count()));
}

QMdiSubWindow *newSubWindow(QMdiArea *area, const QList<QMdiSubWindow *> &before)
{
    QMdiSubWindow *found = nullptr;
    waitFor(
        [&] {
            const QList<QMdiSubWindow *> now = area->subWindowList();
            for (QMdiSubWindow *window : now) {
                if (!before.contains(window) && window->widget()) {
                    found = window;
                    return true;
                }
            }
            return false;
        },
        15s);
    return found;
}

} // namespace tour
