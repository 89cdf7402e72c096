#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>

// What a screen reader reads of a program, through AT-SPI: screen_reader.py
// (beside this file) runs for the whole test and answers one request at a time.
// While it waits for an answer, the caller's event loop runs, so a program in
// this very process can serve the accessibility bus meanwhile.
class ScreenReader
{
public:
    struct Node
    {
        QString role; // AT-SPI's role name: "label", "text", "menu item" ...
        QString name;
        QString description;
        QString text; // the text interface's content, when the object has one
        bool hasText = false;
        bool showing = false;
        QRect extents; // on the screen
    };

    ~ScreenReader();

    bool start(const QProcessEnvironment &environment);
    QString errorText() const { return m_error; }

    // Every object of the program, depth first; empty with errorText() on failure.
    QList<Node> tree(qint64 pid);
    // Chooses the menu item, or presses the button, of that role and name, as a
    // user of a screen reader does: press(pid, "menu item", "CPU").
    bool press(qint64 pid, const QString &role, const QString &name);

private:
    QJsonObject ask(const QString &request);

    QProcess m_agent;
    QString m_error;
};
