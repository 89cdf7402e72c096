#pragma once

#include <QByteArrayView>
#include <QString>

// Turns a reference found on a page into an absolute URL and tells what kind of
// URL it is.
namespace LinkResolver {

// A reference's bytes as URL text: UTF-8 when they are valid UTF-8, else each
// byte above 127 percent-encoded, so the server is asked for exactly the bytes
// the page holds whatever the page's encoding.
QString text(QByteArrayView reference);
// Resolves a reference as RFC 3986 says, on the text as written (nothing is
// re-encoded): http://, https:// and ftp:// references stand as they are;
// "//host/x" takes the page's scheme; "/x" starts at the page's server root;
// "?q" replaces the page's query; anything else is taken relative to the
// page's directory. Dot segments ("x/..", "a/./b") are resolved in every case.
QString absolute(const QString &reference, const QString &pageUrl);
// The URL with the dot segments of its path resolved (RFC 3986, 5.2.4).
QString withoutDotSegments(const QString &url);
bool isAbsolute(const QString &url);
// The reference names a scheme the crawler cannot fetch ("javascript:", "data:",
// "tel:" ...): completing it as a relative path would ask a server for nonsense.
bool hasForeignScheme(const QString &reference);
// What the duplicate check compares: the URL as written, its scheme and host
// without regard to case (servers tell /Case.htm from /case.htm).
QString key(const QString &url);
// A picture as the link scan sees it: the URL holds .gif, .bmp, .jpg, .jpeg, .ico or .pcx.
bool isScannedPicture(const QString &url);
// A picture as the dispatch sees it: the local file name holds .gif, .bmp, .jpg,
// .jpeg, .ico, .wmf or .pcx.
bool isDispatchedPicture(const QString &localFileName);
// Inside the site: the URL starts with the site's URL (without regard to case);
// one that merely holds it (in its query, say) is outside. A URL with no scheme
// counts as inside.
bool isInside(const QString &url, const QString &site);

} // namespace LinkResolver
