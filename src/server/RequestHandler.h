#pragma once

#include "server/PathMapper.h"
#include "server/Response.h"
#include "server/SystemFacts.h"

#include <QByteArrayView>
#include <QString>

// Turns the first line of a request into its answer: a file of the served
// directory, a directory's listing page, or an error page.
class RequestHandler
{
public:
    struct Options
    {
        QString servedDirectory; // absolute, ending with "/"
        QString defaultPage;
        bool listingAllowed = true;
    };

    RequestHandler(const Options &options, const SystemFacts &facts);

    // line: the request's first line without its line end.
    Response answer(QByteArrayView line) const;
    // An answer to a request whose first line never ended within the limit.
    Response tooLong() const { return errorAnswer(400); }

    static QByteArray head(int status, QByteArrayView contentType, qint64 contentLength);
    static QByteArrayView contentTypeOf(const QString &fileName);
    static QByteArrayView reason(int status);

private:
    Response errorAnswer(int status) const;
    Response listing(int status, const QString &targetName, const QString &requestPath, const QString &directory) const;

    Options m_options;
    SystemFacts m_facts;
    PathMapper m_mapper;
};
