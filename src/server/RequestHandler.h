#pragma once

#include "server/ContentTypes.h"
#include "server/OpenFiles.h"
#include "server/PathMapper.h"
#include "server/RequestHead.h"
#include "server/Response.h"
#include "server/SystemFacts.h"
#include "server/WalkCache.h"

#include <QByteArrayView>
#include <QString>

// Turns a request into its answer: a file of the served directory (whole, one
// byte range of it, or "not modified"), a directory's listing page, or an
// error page.
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

    // The next answer first takes in the changes on disk made so far: it, and
    // every later one, shows the disk as it was at this call, or later.
    void catchUpBeforeNextAnswer() { m_catchUp = true; }
    // head: the request line and header lines without the blank line after them.
    Response answer(QByteArrayView head);
    // Closes the files no answer has used for a while.
    void closeUnusedFiles(OpenFiles::Clock::time_point now);
    // An answer to a request whose first line, or whole head, never ended within its limit.
    Response tooLong(bool lineEnded) const { return errorAnswer(lineEnded ? 431 : 400, {}); }

private:
    Response answer(const RequestHead &request);
    Response errorAnswer(int status, const RequestHead &request, QByteArrayView contentRange = {}) const;
    Response fileAnswer(
        const std::shared_ptr<const OpenFiles::File> &file, const QByteArray &type, const RequestHead &request) const;
    Response listing(int status, const QString &targetName, const QString &requestPath, const QString &directory,
        const RequestHead &request) const;

    Options m_options;
    QByteArray m_defaultPath; // the default page as a request path names it
    SystemFacts m_facts;
    PathMapper m_mapper;
    ContentTypes m_types;
    OpenFiles m_files;
    WalkCache m_walks;
    bool m_catchUp = true;
};
