#include "platform/inet/InternetSession.h"

#include "platform/inet/InternetRequest.h"

namespace inet {

InternetSession::InternetSession(CurlDriver &driver, const SessionSettings &settings, QObject *parent)
    : QObject(parent)
    , m_driver(driver)
    , m_settings(settings)
{
    qRegisterMetaType<inet::AsyncResult>();
}

InternetSession::~InternetSession() = default;

InternetRequest *InternetSession::openUrl(const QString &url, quintptr context, const Validators &validators)
{
    auto *request = new InternetRequest(m_driver, m_settings, url, context, validators, this);
    request->begin();
    return request;
}

} // namespace inet
