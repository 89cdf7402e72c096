#include "shell/ui/ToolCatalog.h"

// Each tool adds its header here and one line to the table below, and its
// window library to UI_LIBS in src/shell/CMakeLists.txt. For example:
//   #include "ftp/ui/FtpTool.h"
//   { MenuItem::Ftp, &ftpTool },
// where ftpTool() returns the tool's ToolDescriptor.

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
