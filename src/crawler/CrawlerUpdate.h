#pragma once

#include "crawler/LocalFiles.h"

#include <QList>
#include <QMetaType>
#include <QString>

// One row of the Crawler's event log.
struct EventLogRow
{
    QString handle; // "hInternet"
    QString status;
    QString description; // "opis"
};
using EventLogRows = QList<EventLogRow>;

// What changed in the Crawler's display since the last update. The engine sends
// one at a bounded rate, so a fast crawl never floods the window.
struct CrawlerUpdate
{
    QString status;
    qint64 bytes = 0; // "Prebačeno: "
    double rate = 0; // "K/s:"
    int pageCounter = 0;
    QString header; // the first column's header of the local-files list
    bool running = false; // a crawl is under way

    bool filesReset = false; // the window empties its list before the rows below
    QList<int> fileIndices; // rows to set; an index equal to the row count appends
    LocalFileRows fileRows;

    bool logReset = false; // the whole log is replaced by the rows below
    EventLogRows errorsAdded; // error rows kept for the whole crawl
    bool eventsChanged = false;
    EventLogRows events; // the events of the current fetch, replacing the earlier ones

    // With the preview on: the picture saved last, when it changed since the last update.
    QString previewPath;
    QByteArray previewBytes;
};

Q_DECLARE_METATYPE(CrawlerUpdate)
