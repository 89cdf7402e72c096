#include "shell/DialUpEngine.h"

#include "platform/system/DialUpPeers.h"
#include "shell/DialUpCommand.h"

#include <QProcess>

DialUpEngine::DialUpEngine(QString root, Starter starter, QObject *parent)
    : ToolEngine(parent)
    , m_root(std::move(root))
    , m_starter(std::move(starter))
{
    if (!m_starter) {
        m_starter = [](const QString &program, const QStringList &arguments) {
            return QProcess::startDetached(program, arguments);
        };
    }
}

QString DialUpEngine::procedureName()
{
    return QStringLiteral("DialUpcall");
}

void DialUpEngine::onStart()
{
    emit connectionNameLoaded(DialUpPeers::defaultPeer(m_root));
}

void DialUpEngine::dial(const QString &connectionName)
{
    // A dialler that cannot be started shows nothing: the window stays as it was.
    if (const auto command = DialUpCommand::forConnection(connectionName))
        m_starter(command->program, command->arguments);
}
