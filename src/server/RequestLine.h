#pragma once

#include <QByteArray>
#include <QByteArrayView>

// The first line of a request, judged as the server reads it: the line is
// taken in lower case, must start with the method "get" or "head" and carry
// the protocol word "http/"; what stands between them is the path.
struct RequestLine
{
    enum class Kind {
        Get, // path holds the request path, still percent-encoded
        Head, // as Get; the answer goes without its body
        NotSupported, // a method other than GET and HEAD: 501
        Malformed, // no method, no protocol word, or not text: 400
    };

    Kind kind = Kind::Malformed;
    QByteArray path; // lower case, with its leading "/", without a query
    bool persistent = false; // HTTP/1.1 or later, whose connections stay open by default

    bool answerable() const { return kind == Kind::Get || kind == Kind::Head; }

    static RequestLine parse(QByteArrayView line);
};
