#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

// What changed in the server's log and counters since the window was last told:
// the window empties its list first when cleared is set, then appends rows.
struct ServerLogUpdate
{
    struct Row
    {
        QString time; // dd.mm.yyyy hh:mm:ss
        QString status; // at most 40 characters
    };

    bool cleared = false;
    QList<Row> rows;
    qint64 hits = 0;
    qint64 bytesSent = 0;
};

Q_DECLARE_METATYPE(ServerLogUpdate)
