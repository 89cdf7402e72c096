#include "common/AccessibilityCheck.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTextDocument>
#include <QTreeView>
#include <QWidget>

namespace {

bool isControl(QWidget *widget)
{
    if (qobject_cast<QHeaderView *>(widget))
        return false;
    // The line edit inside a spin box or combo box is named through its owner.
    if (qobject_cast<QLineEdit *>(widget)
        && (qobject_cast<QAbstractSpinBox *>(widget->parentWidget())
            || qobject_cast<QComboBox *>(widget->parentWidget())))
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

QString shownText(const QLabel *label)
{
    QString text = label->text();
    if (label->textFormat() == Qt::RichText || (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text))) {
        QTextDocument document;
        document.setHtml(text);
        text = document.toPlainText();
    }
    if (!label->buddy())
        return text;
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == u'&' && i + 1 < text.size())
            ++i;
        shown += text.at(i);
    }
    return shown;
}

QStringList accessibilityFaults(QWidget *window)
{
    QStringList faults;
    const auto widgets = window->findChildren<QWidget *>();
    for (QWidget *widget : widgets) {
        if (auto *label = qobject_cast<QLabel *>(widget);
            label && label->isVisibleTo(window) && label->pixmap().isNull()) {
            if (accessibleName(label) != shownText(label).trimmed())
                faults << describe(label)
                        + QStringLiteral(" reads '%1' but shows '%2'").arg(accessibleName(label), shownText(label));
            continue;
        }
        if (!isControl(widget))
            continue;
        if (accessibleName(widget).isEmpty())
            faults << describe(widget) + QStringLiteral(" has no name");
        if (auto *tree = qobject_cast<QTreeView *>(widget); tree && tree->model()) {
            for (int column = 0; column < tree->model()->columnCount(); ++column) {
                if (tree->model()->headerData(column, Qt::Horizontal).toString().trimmed().isEmpty())
                    faults << describe(widget) + QStringLiteral(" column %1 has no name").arg(column);
            }
        }
    }
    return faults;
}
