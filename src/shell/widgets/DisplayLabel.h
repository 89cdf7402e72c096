#pragma once

#include <QLabel>

// A label that shows changing content: a status, a figure, a date or a time.
// A screen reader reads what it shows, word for word, and hears each change;
// the fixed description says what it is ("Datum"). Its text is never taken
// as markup, so a server's file name is shown as it is. Prompts, which name
// a field, stay plain QLabels with a buddy.
class DisplayLabel : public QLabel
{
    Q_OBJECT

public:
    explicit DisplayLabel(const QString &description = QString(), QWidget *parent = nullptr);
};
