#pragma once

#include <QString>

namespace DialUpPeers {

// The peer that `pon` dials when given no name: "provider" when
// etc/ppp/peers/provider exists under root, else empty.
QString defaultPeer(const QString &root);

} // namespace DialUpPeers
