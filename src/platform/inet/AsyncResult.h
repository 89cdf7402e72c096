#pragma once

#include <QByteArray>
#include <QMetaType>

namespace inet {

// The completion record of an asynchronous operation (status 100).
struct AsyncResult
{
    // Opening a URL: the request handle. A read: the number of bytes read.
    quintptr result = 0;
    // 0 on success; else a code of the 12001..12036 numbering, or the HTTP
    // status (404, 500) of a server that answered 400 or above.
    int error = 0;
    // What a read brought (empty for the open, and for a read at the end of the body).
    QByteArray data;
};

} // namespace inet

Q_DECLARE_METATYPE(inet::AsyncResult)
