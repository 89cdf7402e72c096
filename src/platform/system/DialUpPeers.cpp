#include "platform/system/DialUpPeers.h"

#include "platform/system/SystemRoot.h"

#include <QFileInfo>

namespace DialUpPeers {

QString defaultPeer(const QString &root)
{
    const QString provider = QStringLiteral("provider");
    return QFileInfo(SystemRoot::under(root, QStringLiteral("/etc/ppp/peers/")) + provider).isFile() ? provider
                                                                                                     : QString();
}

} // namespace DialUpPeers
