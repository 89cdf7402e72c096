#include "shell/ui/MailLinkTool.h"

#include "shell/ui/MailLinkWindow.h"

namespace MailLinkTool {

ToolDescriptor descriptor()
{
    ToolDescriptor tool;
    tool.procedureName = MailLinkWindow::procedureName();
    tool.create = [](const QStringList &) { return ToolParts { nullptr, new MailLinkWindow }; };
    return tool;
}

} // namespace MailLinkTool
