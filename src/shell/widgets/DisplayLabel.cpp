#include "shell/widgets/DisplayLabel.h"

#include <QAccessibleWidget>

namespace {

// Qt's own interface for labels drops every "&" from the name, as if the text
// held a shortcut mark; a displayed text has none, so its name is the text.
class DisplayLabelAccessible : public QAccessibleWidget
{
public:
    explicit DisplayLabelAccessible(QWidget *label)
        : QAccessibleWidget(label, QAccessible::StaticText)
    { }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name)
            return static_cast<const QLabel *>(widget())->text();
        return QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface *accessibleFor(const QString &className, QObject *object)
{
    if (className == QLatin1StringView(DisplayLabel::staticMetaObject.className()) && object->isWidgetType())
        return new DisplayLabelAccessible(static_cast<QWidget *>(object));
    return nullptr;
}

void installAccessibleFactory()
{
    static const bool installed = [] {
        QAccessible::installFactory(&accessibleFor);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace

DisplayLabel::DisplayLabel(const QString &description, QWidget *parent)
    : QLabel(parent)
{
    installAccessibleFactory();
    setTextFormat(Qt::PlainText);
    setAccessibleDescription(description);
}
