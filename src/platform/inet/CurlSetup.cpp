#include "platform/inet/CurlSetup.h"

#include "platform/inet/InetError.h"

#include <QFile>

namespace inet {

namespace {

constexpr const char *Protocols = "http,https,ftp";
// Reads ask for at most this much at a time from the socket.
constexpr long ReceiveBufferSize = 256 * 1024;

} // namespace

int checkUrl(const QString &url)
{
    CURLU *parsed = curl_url();
    const QByteArray bytes = url.trimmed().toUtf8();
    const CURLUcode code = curl_url_set(parsed, CURLUPART_URL, bytes.constData(), CURLU_NON_SUPPORT_SCHEME);
    int error = 0;
    if (code == CURLUE_BAD_SCHEME || (code != CURLUE_OK && !bytes.contains("://"))) {
        error = ErrorUnrecognizedScheme;
    } else if (code != CURLUE_OK) {
        error = ErrorInvalidUrl;
    } else {
        char *scheme = nullptr;
        curl_url_get(parsed, CURLUPART_SCHEME, &scheme, 0);
        const QByteArray name = QByteArray(scheme).toLower();
        curl_free(scheme);
        if (name != "http" && name != "https" && name != "ftp")
            error = ErrorUnrecognizedScheme;
    }
    curl_url_cleanup(parsed);
    return error;
}

void configureRequest(CURL *easy, const SessionSettings &settings, const QByteArray &url, struct curl_slist **headers)
{
    curl_easy_setopt(easy, CURLOPT_URL, url.constData());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, Protocols);
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, Protocols);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, long(settings.maxRedirects));
    curl_easy_setopt(easy, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, ReceiveBufferSize);
    curl_easy_setopt(easy, CURLOPT_TRANSFERTEXT, 0L);
    // The server's Last-Modified, for the copy's time and later conditional requests.
    curl_easy_setopt(easy, CURLOPT_FILETIME, 1L);
    const QByteArray agent = settings.agent.toUtf8();
    curl_easy_setopt(easy, CURLOPT_USERAGENT, agent.constData());
    // The session's own choice holds whatever the environment says: an empty
    // proxy (not null) switches off one named by http_proxy, and an empty
    // bypass list sends every host through a named one despite no_proxy.
    const QByteArray proxy = settings.proxy.trimmed().toUtf8();
    curl_easy_setopt(easy, CURLOPT_PROXY, proxy.constData());
    curl_easy_setopt(easy, CURLOPT_NOPROXY, "");
    curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    if (!settings.caFile.isEmpty())
        curl_easy_setopt(easy, CURLOPT_CAINFO, QFile::encodeName(settings.caFile).constData());
    if (settings.connectTimeout.count() > 0)
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, long(settings.connectTimeout.count()));
    if (settings.idleTimeout.count() > 0) {
        curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(
            easy, CURLOPT_LOW_SPEED_TIME, long(qMax<qint64>(1, (settings.idleTimeout.count() + 999) / 1000)));
    }
    // Every request is fetched anew from the origin, never from a cache on the way.
    *headers = curl_slist_append(nullptr, "Pragma: no-cache");
    *headers = curl_slist_append(*headers, "Cache-Control: no-cache");
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, *headers);
}

} // namespace inet
