#include "platform/inet/HeaderBlock.h"

namespace inet {

HeaderBlock::Outcome HeaderBlock::line(CURL *easy, QByteArrayView text)
{
    if (text.startsWith("HTTP/")) {
        m_location = false;
        return Outcome::Pending;
    }
    if (text.size() > 9 && QByteArrayView(text.data(), 9).compare("location:", Qt::CaseInsensitive) == 0) {
        m_location = true;
        return Outcome::Pending;
    }
    if (text != "\r\n" && text != "\n")
        return Outcome::Pending;
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    if (status >= 100 && status < 200)
        return Outcome::Pending;
    const bool redirect = m_location && status >= 300 && status < 400;
    m_location = false;
    return redirect ? Outcome::Redirect : Outcome::Final;
}

} // namespace inet
