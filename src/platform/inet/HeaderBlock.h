#pragma once

#include <QByteArrayView>

#include <curl/curl.h>

namespace inet {

// Follows the header lines libcurl hands over, one block per response, and says
// when a block ends whether it was a redirect being followed or the final answer.
class HeaderBlock
{
public:
    enum class Outcome { Pending, Redirect, Final };

    Outcome line(CURL *easy, QByteArrayView text);

private:
    bool m_location = false;
};

} // namespace inet
