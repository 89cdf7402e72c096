#include "shell/ui/FrameMenu.h"

#include "shell/ui/AuthorAddress.h"

namespace {

FrameMenuEntry menu(const QString &caption, const QString &statusText, std::optional<MenuItem> number = std::nullopt)
{
    return { FrameMenuEntry::Kind::Menu, caption, statusText, number };
}

FrameMenuEntry item(const QString &caption, const QString &statusText, MenuItem number)
{
    return { FrameMenuEntry::Kind::Item, caption, statusText, number };
}

FrameMenuEntry separator()
{
    return { FrameMenuEntry::Kind::Separator, {}, {}, std::nullopt };
}

} // namespace

const QList<FrameMenuEntry> &frameMenuTable()
{
    static const QList<FrameMenuEntry> table {
        menu(QStringLiteral("Meni"), {}, MenuItem::ToolsMenu),
        item(QStringLiteral("Http - get URL"), QStringLiteral("Http downloader - wininet.dll"), MenuItem::Crawler),
        item(QStringLiteral("Http - get page"), QStringLiteral("Http - sinhroni download"), MenuItem::PageGetter),
        separator(),
        item(QStringLiteral("Ftp "), QStringLiteral("Ftp client"), MenuItem::Ftp),
        separator(),
        item(QStringLiteral("Http server"), QStringLiteral("Http server - winsock.dll"), MenuItem::HttpServer),
        separator(),
        item(QStringLiteral("Internet veza"), QStringLiteral("Da li postoji internet veza"), MenuItem::ConnectionCheck),
        item(QStringLiteral("DialUp"), QStringLiteral("DialUp - internet"), MenuItem::DialUp),
        menu(QStringLiteral("&File"), {}, MenuItem::FileMenu),
        item(QStringLiteral("P&rint Setup..."), QStringLiteral("Setup Printer"), MenuItem::PrintSetup),
        separator(),
        item(QStringLiteral("Izlaz"), QStringLiteral("Izlaz iz programa"), MenuItem::Exit),
        menu(QStringLiteral("&Edit"), {}, MenuItem::EditMenu),
        item(QStringLiteral("Cu&t"), QStringLiteral("Remove item to Windows Clipboard"), MenuItem::Cut),
        item(QStringLiteral("&Copy"), QStringLiteral("Copy item to Windows Clipboard"), MenuItem::Copy),
        item(QStringLiteral("&Paste"), QStringLiteral("Paste contents of Windows Clipboard"), MenuItem::Paste),
        menu(QStringLiteral("&Window"), QStringLiteral("Create and Arrange windows")),
        item(QStringLiteral("T&ile"), QStringLiteral("Make all open windows visible"), MenuItem::Tile),
        item(QStringLiteral("&Cascade"), QStringLiteral("Stack all open windows"), MenuItem::Cascade),
        item(QStringLiteral("&Arrange Icons"), QStringLiteral("Align all window icons"), MenuItem::ArrangeIcons),
        menu(QStringLiteral("&Help"), QStringLiteral("Windows Help")),
        item(QStringLiteral("User name"), QStringLiteral("User name"), MenuItem::UserName),
        item(QStringLiteral("CPU"), QStringLiteral("CPU"), MenuItem::Processor),
        item(QStringLiteral("Diskovi"), QStringLiteral("Logi\u010dki diskovi"), MenuItem::Drives),
        separator(),
        item(QStringLiteral("E- mail"), authorAddress(), MenuItem::Mail),
    };
    return table;
}
