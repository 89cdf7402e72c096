#pragma once

#include "platform/inet/SessionSettings.h"
#include "platform/inet/Validators.h"

#include <QObject>
#include <QString>

namespace inet {

class CurlDriver;
class InternetRequest;

// An asynchronous Internet session on an engine's CurlDriver: it opens URLs
// (http, https, ftp) with the session's agent name and proxy. Every request of
// every session on one driver shares the driver's connection cache.
class InternetSession : public QObject
{
    Q_OBJECT

public:
    InternetSession(CurlDriver &driver, const SessionSettings &settings, QObject *parent = nullptr);
    ~InternetSession() override;

    const SessionSettings &settings() const { return m_settings; }
    CurlDriver &driver() const { return m_driver; }

    // Starts opening the URL and returns its request at once (never null). The
    // request is a child of the session; it reports through its signals, with
    // the given context, starting with 60 (handle created) and ending with
    // exactly one completion of the open (status 100). A URL that cannot be
    // opened completes with its error, still asynchronously. With validators
    // of a copy the caller holds, an unchanged resource answers 304 (no body).
    InternetRequest *openUrl(const QString &url, quintptr context, const Validators &validators = {});

private:
    CurlDriver &m_driver;
    SessionSettings m_settings;
};

} // namespace inet
