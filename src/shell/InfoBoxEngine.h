#pragma once

#include "platform/ToolEngine.h"

#include <QString>

#include <functional>

// Gathers the text of a message box off the GUI thread (a mount table or a
// network file system may be slow to answer) and hands it to the box.
class InfoBoxEngine : public ToolEngine
{
    Q_OBJECT

public:
    explicit InfoBoxEngine(std::function<QString()> gather, QObject *parent = nullptr);

signals:
    void textReady(const QString &text);

protected:
    void onStart() override;

private:
    std::function<QString()> m_gather;
};
