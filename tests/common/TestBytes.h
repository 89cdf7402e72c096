#pragma once

#include <QByteArray>

// A body of the given size made of every byte value in turn (0, 1, ... 255, 0,
// ...), as the project's test servers send it: a lost, doubled or moved byte
// shows in a comparison.
inline QByteArray testBytes(qsizetype size)
{
    QByteArray cycle(256, Qt::Uninitialized);
    for (int i = 0; i < 256; ++i)
        cycle[i] = char(i);
    return cycle.repeated(size / 256 + 1).left(size);
}
