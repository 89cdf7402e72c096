#include "shell/ui/InfoBoxTools.h"

#include "shell/InfoBoxEngine.h"
#include "shell/InfoBoxTexts.h"
#include "shell/ui/InfoBox.h"

namespace InfoBoxTools {

ToolDescriptor messageBox(const QString &caption, std::function<QString()> gather)
{
    ToolDescriptor tool;
    tool.topLevel = true;
    tool.create = [caption, gather](const QStringList &) {
        auto engine = std::make_unique<InfoBoxEngine>(gather);
        auto *box = new InfoBox(caption);
        QObject::connect(engine.get(), &InfoBoxEngine::textReady, box, &InfoBox::showText, Qt::QueuedConnection);
        return ToolParts { std::move(engine), box };
    };
    return tool;
}

ToolDescriptor userNameBox()
{
    return messageBox(InfoBoxTexts::userCaption(), &InfoBoxTexts::currentUserText);
}

ToolDescriptor processorBox()
{
    return messageBox(InfoBoxTexts::processorCaption(), &InfoBoxTexts::currentProcessorText);
}

ToolDescriptor drivesBox()
{
    return messageBox(
        InfoBoxTexts::drivesCaption(), [] { return InfoBoxTexts::currentDrivesText(QStringLiteral("/")); });
}

} // namespace InfoBoxTools
