#include "shell/DialUpCommand.h"

std::optional<DialUpCommand> DialUpCommand::forConnection(const QString &name)
{
    QString peer = name;
    while (peer.endsWith(u' '))
        peer.chop(1);
    if (peer.isEmpty())
        return std::nullopt;
    return DialUpCommand { QStringLiteral("pon"), { peer } };
}
