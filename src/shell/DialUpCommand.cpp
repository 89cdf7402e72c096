#include "shell/DialUpCommand.h"

#include "platform/TrailingBlanks.h"

std::optional<DialUpCommand> DialUpCommand::forConnection(const QString &name)
{
    const QString peer = withoutTrailingBlanks(name);
    if (peer.isEmpty())
        return std::nullopt;
    return DialUpCommand { QStringLiteral("pon"), { peer } };
}
