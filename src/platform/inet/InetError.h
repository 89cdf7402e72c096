#pragma once

#include <curl/curl.h>

// The Internet client's error numbering (12001..12036, the codes the error-name
// table names) for libcurl's results.
namespace inet {

inline constexpr int ErrorTimeout = 12002;
inline constexpr int ErrorExtended = 12003;
inline constexpr int ErrorInternal = 12004;
inline constexpr int ErrorInvalidUrl = 12005;
inline constexpr int ErrorUnrecognizedScheme = 12006;
inline constexpr int ErrorNameNotResolved = 12007;
inline constexpr int ErrorInvalidOption = 12009;
inline constexpr int ErrorLoginFailure = 12015;
inline constexpr int ErrorOperationCancelled = 12017;
inline constexpr int ErrorCannotConnect = 12029;
inline constexpr int ErrorConnectionAborted = 12030;
inline constexpr int ErrorConnectionReset = 12031;
inline constexpr int ErrorSslCertificate = 12035;

// 0 for CURLE_OK. osErrno is the transfer's CURLINFO_OS_ERRNO: a receive or send
// failure is a reset when the peer reset the connection, else an aborted one.
int internetError(CURLcode result, long osErrno = 0);

// The error of a finished transfer: internetError() of its result, or the HTTP
// status itself when the server answered 400 or above.
int transferError(CURL *easy, CURLcode result);

} // namespace inet
