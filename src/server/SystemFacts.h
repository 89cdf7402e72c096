#pragma once

#include <QString>

// The machine the listing page describes: who runs the server, on which
// computer, with which processor and how much memory.
struct SystemFacts
{
    QString userName;
    QString computerName;
    QString processorVendor; // "Intel", "IBM" or "Unknown"
    int processorType = 0; // 386, 486, 586, 601, 8664 or 0
    qint64 memoryMb = 0; // total physical memory, bytes / 1024 / 1000

    static SystemFacts read();
    // The processor type number of a machine name as uname gives it.
    static int processorTypeOf(const QString &machine);
    static QString vendorOf(int processorType);
};
