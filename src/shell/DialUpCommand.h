#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The command that dials a ppp peer: `pon NAME`. The name is passed as one
// argument, never through a shell.
struct DialUpCommand
{
    QString program;
    QStringList arguments;

    bool operator==(const DialUpCommand &) const = default;

    // Trailing blanks of the name are dropped; an empty name dials nothing.
    static std::optional<DialUpCommand> forConnection(const QString &name);
};
