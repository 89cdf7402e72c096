#include "shell/ui/ConnectionCheckTool.h"

#include "shell/ConnectionCheckText.h"
#include "shell/ui/InfoBoxTools.h"

namespace ConnectionCheckTool {

ToolDescriptor descriptor()
{
    return InfoBoxTools::messageBox(ConnectionCheckText::caption(),
        [] { return ConnectionCheckText::text(NetworkLink::read(QStringLiteral("/"))); });
}

} // namespace ConnectionCheckTool
