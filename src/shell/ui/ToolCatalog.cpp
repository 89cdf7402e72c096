#include "shell/ui/ToolCatalog.h"

// A tool is one line of the table below (its header included here, its window
// library in UI_LIBS of src/shell/CMakeLists.txt); a menu entry without a line
// has no tool and stays disabled.

#include "crawler/ui/CrawlerTool.h"
#include "ftp/ui/FtpTool.h"
#include "getter/ui/PageGetterTool.h"
#include "server/ui/ServerTool.h"
#include "shell/ui/ConnectionCheckTool.h"
#include "shell/ui/DialUpTool.h"
#include "shell/ui/InfoBoxTools.h"
#include "shell/ui/MailLinkTool.h"

#include <map>

namespace {

using DescriptorFactory = ToolDescriptor (*)();

const std::map<MenuItem, DescriptorFactory> &registeredTools()
{
    static const std::map<MenuItem, DescriptorFactory> tools {
        { MenuItem::Crawler, &crawlerTool },
        { MenuItem::PageGetter, &pageGetterTool },
        { MenuItem::Ftp, &FtpTool::descriptor },
        { MenuItem::HttpServer, &ServerTool::descriptor },
        { MenuItem::ConnectionCheck, &ConnectionCheckTool::descriptor },
        { MenuItem::DialUp, &DialUpTool::descriptor },
        { MenuItem::UserName, &InfoBoxTools::userNameBox },
        { MenuItem::Processor, &InfoBoxTools::processorBox },
        { MenuItem::Drives, &InfoBoxTools::drivesBox },
        { MenuItem::Mail, &MailLinkTool::descriptor },
    };
    return tools;
}

} // namespace

std::optional<ToolDescriptor> ToolCatalog::descriptorFor(MenuItem item)
{
    const auto &tools = registeredTools();
    const auto found = tools.find(item);
    if (found == tools.end())
        return std::nullopt;
    return found->second();
}
