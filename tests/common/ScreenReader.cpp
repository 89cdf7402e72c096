#include "common/ScreenReader.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QTimer>

namespace {

constexpr int AnswerLimit = 60000; // ms: a whole program's tree takes a while over the bus

} // namespace

ScreenReader::~ScreenReader()
{
    if (m_agent.state() == QProcess::NotRunning)
        return;
    m_agent.closeWriteChannel();
    if (!m_agent.waitForFinished(3000)) {
        m_agent.kill();
        m_agent.waitForFinished(3000);
    }
}

bool ScreenReader::start(const QProcessEnvironment &environment)
{
    m_agent.setProcessEnvironment(environment);
    m_agent.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_agent.start(QStringLiteral("/usr/bin/python3"),
        { qEnvironmentVariable("TORVEX_SOURCE_DIR") + QStringLiteral("/tests/common/screen_reader.py") });
    if (!m_agent.waitForStarted(10000)) {
        m_error = m_agent.errorString();
        return false;
    }
    return true;
}

QJsonObject ScreenReader::ask(const QString &request)
{
    m_agent.write(request.toUtf8() + '\n');
    QEventLoop loop;
    QTimer::singleShot(AnswerLimit, &loop, &QEventLoop::quit);
    QObject::connect(&m_agent, &QProcess::readyReadStandardOutput, &loop, [this, &loop] {
        if (m_agent.canReadLine())
            loop.quit();
    });
    QObject::connect(&m_agent, &QProcess::finished, &loop, &QEventLoop::quit);
    if (!m_agent.canReadLine())
        loop.exec();
    if (!m_agent.canReadLine()) {
        m_error = QStringLiteral("no answer to '%1'").arg(request);
        return {};
    }
    const QJsonObject reply = QJsonDocument::fromJson(m_agent.readLine()).object();
    if (!reply.value(QStringLiteral("ok")).toBool()) {
        m_error = reply.value(QStringLiteral("error")).toString();
        return {};
    }
    return reply;
}

QList<ScreenReader::Node> ScreenReader::tree(qint64 pid)
{
    QList<Node> nodes;
    const QJsonArray array = ask(QStringLiteral("tree %1").arg(pid)).value(QStringLiteral("nodes")).toArray();
    for (const QJsonValue &value : array) {
        const QJsonObject object = value.toObject();
        Node node;
        node.role = object.value(QStringLiteral("role")).toString();
        node.name = object.value(QStringLiteral("name")).toString();
        node.description = object.value(QStringLiteral("description")).toString();
        node.hasText = object.value(QStringLiteral("text")).isString();
        node.text = object.value(QStringLiteral("text")).toString();
        node.showing = object.value(QStringLiteral("showing")).toBool();
        const QJsonArray box = object.value(QStringLiteral("extents")).toArray();
        if (box.size() == 4)
            node.extents = QRect(box.at(0).toInt(), box.at(1).toInt(), box.at(2).toInt(), box.at(3).toInt());
        nodes.append(node);
    }
    return nodes;
}

bool ScreenReader::press(qint64 pid, const QString &role, const QString &name)
{
    return !ask(QStringLiteral("press %1 %2|%3").arg(QString::number(pid), role, name)).isEmpty();
}
