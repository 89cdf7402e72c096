#include "shell/InfoBoxEngine.h"

InfoBoxEngine::InfoBoxEngine(std::function<QString()> gather, QObject *parent)
    : ToolEngine(parent)
    , m_gather(std::move(gather))
{ }

void InfoBoxEngine::onStart()
{
    emit textReady(m_gather());
}
