#pragma once

// The numbers of the frame's menu entries, as the menu table gives them.
enum class MenuItem : int {
    ToolsMenu = -1,
    Crawler = -2,
    PageGetter = -3,
    Ftp = -4,
    HttpServer = -5,
    ConnectionCheck = -6,
    DialUp = -7,
    FileMenu = -8,
    PrintSetup = -9,
    Exit = -10,
    EditMenu = -11,
    Cut = -12,
    Copy = -13,
    Paste = -14,
    Tile = -15,
    Cascade = -16,
    ArrangeIcons = -17,
    UserName = -18,
    Processor = -19,
    Drives = -20,
    Mail = -21,
};
