#pragma once

#include <QByteArray>
#include <QDateTime>

namespace inet {

// What a request tells the server of a copy the caller holds, so that an
// unchanged resource is answered 304 without its body: If-Modified-Since with
// the copy's time, and If-None-Match with the entity tag it came with.
struct Validators
{
    QDateTime modifiedSince; // invalid: not sent
    QByteArray etag; // as the server sent it, quotes included; empty: not sent

    bool isEmpty() const { return !modifiedSince.isValid() && etag.isEmpty(); }
};

} // namespace inet
