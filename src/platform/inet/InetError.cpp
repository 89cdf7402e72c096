#include "platform/inet/InetError.h"

#include <cerrno>

namespace inet {

int internetError(CURLcode result, long osErrno)
{
    switch (result) {
    case CURLE_OK:
        return 0;
    case CURLE_UNSUPPORTED_PROTOCOL:
        return ErrorUnrecognizedScheme;
    case CURLE_URL_MALFORMAT:
        return ErrorInvalidUrl;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
        return ErrorNameNotResolved;
    case CURLE_COULDNT_CONNECT:
    case CURLE_PROXY:
        return ErrorCannotConnect;
    case CURLE_OPERATION_TIMEDOUT:
        return ErrorTimeout;
    case CURLE_LOGIN_DENIED:
        return ErrorLoginFailure;
    case CURLE_ABORTED_BY_CALLBACK:
        return ErrorOperationCancelled;
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
        return osErrno == ECONNRESET || osErrno == EPIPE ? ErrorConnectionReset : ErrorConnectionAborted;
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
        return ErrorConnectionAborted;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        return ErrorSslCertificate;
    case CURLE_BAD_FUNCTION_ARGUMENT:
    case CURLE_UNKNOWN_OPTION:
    case CURLE_NOT_BUILT_IN:
        return ErrorInvalidOption;
    case CURLE_FAILED_INIT:
    case CURLE_OUT_OF_MEMORY:
        return ErrorInternal;
    default:
        // Answers of the server the client cannot use (FTP replies, a redirect
        // loop, a broken TLS handshake) are what the extended error stands for.
        return ErrorExtended;
    }
}

int transferError(CURL *easy, CURLcode result)
{
    if (result == CURLE_HTTP_RETURNED_ERROR) {
        long status = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        if (status >= 400)
            return int(status);
    }
    long osErrno = 0;
    curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osErrno);
    return internetError(result, osErrno);
}

} // namespace inet
