#include "getter/PageGetterEngine.h"

#include "platform/InternetErrorNames.h"
#include "platform/SettingKeys.h"
#include "platform/inet/InetError.h"
#include "platform/inet/ReadSize.h"
#include "platform/inet/SyncRequest.h"

#include <QTimer>

namespace {

const QString Agent = QStringLiteral("Div-Ivo 0.000001b");
const QString ErrorPrefix = QStringLiteral("Error: ");
const QString DownloadingText = QStringLiteral("Downloading...");
const QString RateUnit = QStringLiteral("k/s");
const QString PercentUnit = QStringLiteral("%");

// One slice of reading before the engine looks at its event loop again.
constexpr std::chrono::milliseconds Slice { 20 };
constexpr std::chrono::milliseconds ReadWait { 100 };

constexpr SettingName UrlKey = "SHTTPurl";
constexpr SettingName ProxyKey = "SHTTPproxy";
constexpr SettingName UseProxyKey = "SHTTPiproxy";
constexpr SettingName LocalKey = "SHTTPlf";

QString errorText(int code)
{
    const QString name = InternetErrorNames::shownName(code);
    return ErrorPrefix + QString::number(code) + (name.isEmpty() ? QString() : u" "_qs + name);
}

} // namespace

PageGetterEngine::PageGetterEngine(const SettingsFile &settings, const PageGetterOptions &options, QObject *parent)
    : ToolEngine(parent)
    , m_file(settings)
    , m_options(options)
    , m_settings(SettingKeys::getter())
{
    qRegisterMetaType<PageGetterValues>();
}

PageGetterEngine::~PageGetterEngine()
{
    closeHandles();
}

QString PageGetterEngine::agentName()
{
    return Agent;
}

QString PageGetterEngine::rateText(qint64 total, qint64 elapsedMs)
{
    const double hundredths = double(qMax<qint64>(1, elapsedMs / 10));
    return QString::number(double(total) / hundredths / 10.0) + RateUnit;
}

QString PageGetterEngine::percentText(qint64 total, qint64 largest)
{
    // Nothing at all of nothing expected is complete.
    const double share = largest > 0 ? double(total) * 100.0 / double(largest) : 100.0;
    return QString::number(share) + PercentUnit;
}

void PageGetterEngine::onStart()
{
    m_settings.load(m_file);
    m_timer = new QTimer(this);
    m_timer->setInterval(m_options.tick);
    connect(m_timer, &QTimer::timeout, this, [this] { reportProgress(false); });
    emit valuesLoaded({ m_settings.text(UrlKey), m_settings.text(LocalKey), m_settings.flag(UseProxyKey),
        m_settings.text(ProxyKey) });
}

void PageGetterEngine::onStop()
{
    closeHandles();
    m_settings.save(m_file);
}

void PageGetterEngine::setValues(const PageGetterValues &values)
{
    m_settings.setText(UrlKey, values.url);
    m_settings.setText(ProxyKey, values.proxy);
    m_settings.setFlag(UseProxyKey, values.useProxy);
    m_settings.setText(LocalKey, values.localPath);
}

void PageGetterEngine::startDownload()
{
    if (m_request)
        return;
    inet::SessionSettings session;
    session.agent = Agent;
    if (m_settings.flag(UseProxyKey))
        session.proxy = m_settings.text(ProxyKey).trimmed();
    m_request = std::make_unique<inet::SyncRequest>(session);
    if (!m_request->start(m_settings.text(UrlKey))) {
        fail(m_request->error());
        return;
    }
    m_lastData.start();
    m_opening = true;
    emit statusChanged(DownloadingText);
    schedulePump();
}

void PageGetterEngine::cancel()
{
    closeHandles();
    emit closeRequested();
}

void PageGetterEngine::schedulePump()
{
    if (m_pumpQueued)
        return;
    m_pumpQueued = true;
    QMetaObject::invokeMethod(this, &PageGetterEngine::pump, Qt::QueuedConnection);
}

void PageGetterEngine::pump()
{
    m_pumpQueued = false;
    if (!m_request)
        return;
    if (m_opening) {
        switch (m_request->waitOpen(ReadWait)) {
        case inet::SyncRequest::Opening::Pending:
            if (!waitedTooLong())
                schedulePump();
            return;
        case inet::SyncRequest::Opening::Failed:
            fail(m_request->error());
            return;
        case inet::SyncRequest::Opening::Open:
            break;
        }
        m_opening = false;
        if (!m_local.create(m_settings.text(LocalKey).trimmed())) {
            failWrite();
            return;
        }
        m_buffer.resize(inet::ReadSize);
        m_started.start();
        m_downloading = true;
        m_timer->start();
    }
    QElapsedTimer slice;
    slice.start();
    while (!slice.hasExpired(Slice.count())) {
        const qint64 count = m_request->read(m_buffer.data(), inet::ReadSize, ReadWait);
        if (count == inet::SyncRequest::Pending) {
            if (waitedTooLong())
                return;
            break;
        }
        if (count == inet::SyncRequest::Failed) {
            fail(m_request->error());
            return;
        }
        if (count == 0) {
            endDownload();
            return;
        }
        if (!m_local.write(QByteArrayView(m_buffer.constData(), count))) {
            failWrite();
            return;
        }
        m_total += count;
        m_lastData.start();
    }
    schedulePump();
}

bool PageGetterEngine::waitedTooLong()
{
    if (!m_lastData.hasExpired(m_options.readLimit.count()))
        return false;
    fail(inet::ErrorTimeout);
    return true;
}

// The status says why, and stays readable for a moment before the window closes;
// what was written stays in the file.
void PageGetterEngine::fail(int error)
{
    if (m_downloading)
        reportProgress(false);
    emit statusChanged(errorText(error));
    closeHandles();
    QTimer::singleShot(m_options.failureHold, this, &ToolEngine::closeRequested);
}

void PageGetterEngine::endDownload()
{
    const bool stored = m_local.close();
    reportProgress(stored);
    if (!stored) {
        failWrite();
        return;
    }
    closeHandles();
    emit closeRequested();
}

void PageGetterEngine::failWrite()
{
    emit statusChanged(ErrorPrefix + QString::number(m_local.error()));
    closeHandles();
    emit writeFailed();
    emit closeRequested();
}

void PageGetterEngine::closeHandles()
{
    m_downloading = false;
    m_opening = false;
    if (m_timer)
        m_timer->stop();
    m_request.reset();
    m_local.close();
}

void PageGetterEngine::reportProgress(bool complete)
{
    m_largest = qMax(m_largest, m_total);
    if (m_request)
        m_announced = m_request->announcedSize();
    // The announced size is the range; without one, the largest total so far.
    const qint64 range = m_announced >= 0 ? qMax(m_announced, m_total) : m_largest;
    // The last bytes may still wait in the file's buffer until it is closed.
    const qint64 stored = complete || m_announced < 0 ? m_total : qMin(m_total, range - 1);
    emit progress(m_total, range, QString::number(m_total) + u'/' + QString::number(range), percentText(stored, range),
        rateText(m_total, m_started.isValid() ? m_started.elapsed() : 0));
}
