#pragma once

#include <QString>

#include <chrono>

namespace inet {

// How a session reaches the Internet: the agent name it sends, and either a
// direct connection (empty proxy) or a named HTTP proxy "host:port".
struct SessionSettings
{
    QString agent;
    QString proxy;
    // Redirects followed per request before it fails with ErrorExtended.
    int maxRedirects = 10;
    // Limit for a new connection; zero keeps libcurl's own.
    std::chrono::milliseconds connectTimeout { 0 };
    // A transfer that brings nothing for this long fails with ErrorTimeout (whole
    // seconds, at least one); zero: no limit. Leave it zero for transfers that a
    // slow reader may hold paused.
    std::chrono::milliseconds idleTimeout { 0 };
    // The certificates an https server's must chain to, as a PEM file; empty: the
    // system's store. The tools leave it empty; tests name their loopback certificate.
    QString caFile;
};

} // namespace inet
