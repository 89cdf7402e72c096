#pragma once

#include <QMessageBox>

// The message box of the information items and the Connection check: a
// caption, the program's logo, one OK button, and a text whose "|" characters
// start new lines. It does not block: several may be open at once.
class InfoBox : public QMessageBox
{
    Q_OBJECT

public:
    explicit InfoBox(const QString &caption, QWidget *parent = nullptr);

    // The lines of a box text: it is split at each "|".
    static QString displayedText(const QString &text);

public slots:
    void showText(const QString &text);

protected:
    // OK closes the box as its close button does, so its tool ends.
    void done(int result) override;
};
