#pragma once

#include "platform/inet/SessionSettings.h"

#include <QByteArray>
#include <QString>

#include <curl/curl.h>

namespace inet {

// 0 when the URL is one the client opens (http, https or ftp, well formed);
// else ErrorUnrecognizedScheme or ErrorInvalidUrl.
int checkUrl(const QString &url);

// Sets what every HTTP/FTP request of a session shares on an easy handle: URL,
// agent, proxy or direct access, bounded redirects, protocols, HTTP statuses of
// 400 and above as failures, no cache. *headers receives the list the handle
// refers to (free it with curl_slist_free_all after the handle).
void configureRequest(CURL *easy, const SessionSettings &settings, const QByteArray &url, struct curl_slist **headers);

} // namespace inet
