#include "common/AccessibilityCheck.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QProgressBar>
#include <QTreeView>
#include <QWidget>

namespace {

bool isControl(QWidget *widget)
{
    if (qobject_cast<QHeaderView *>(widget))
        return false;
    // The line edit inside a spin box or combo box is named through its owner.
    if (qobject_cast<QLineEdit *>(widget)
        && (qobject_cast<QAbstractSpinBox *>(widget->parentWidget()) || qobject_cast<QComboBox *>(widget->parentWidget())))
        return false;
    return qobject_cast<QAbstractButton *>(widget) || qobject_cast<QLineEdit *>(widget)
        || qobject_cast<QAbstractSpinBox *>(widget) || qobject_cast<QAbstractItemView *>(widget)
        || qobject_cast<QComboBox *>(widget) || qobject_cast<QProgressBar *>(widget);
}

QString accessibleName(QWidget *widget)
{
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(QAccessible::Name).trimmed() : QString();
}

QString describe(QWidget *widget)
{
    return QStringLiteral("%1 '%2'").arg(QString::fromLatin1(widget->metaObject()->className()), widget->objectName());
}

} // namespace

QStringList unnamedControls(QWidget *window)
{
    QStringList unnamed;
    const auto widgets = window->findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        if (!isControl(widget))
            continue;
        if (accessibleName(widget).isEmpty())
            unnamed << describe(widget);
        if (auto *tree = qobject_cast<QTreeView *>(widget); tree && tree->model()) {
            for (int column = 0; column < tree->model()->columnCount(); ++column) {
                if (tree->model()->headerData(column, Qt::Horizontal).toString().trimmed().isEmpty())
                    unnamed << describe(widget) + QStringLiteral(" column %1").arg(column);
            }
        }
    }
    return unnamed;
}
