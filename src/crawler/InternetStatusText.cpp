#include "crawler/InternetStatusText.h"

#include "platform/inet/InetStatus.h"

QString InternetStatusText::text(int code)
{
    using namespace inet::Status;
    switch (code) {
    case ResolvingName:
        return QStringLiteral("Tražim URL ...");
    case NameResolved:
        return QStringLiteral("URL pronađen.");
    case ConnectingToServer:
        return QStringLiteral("Spajam se na Server ...");
    case ConnectedToServer:
        return QStringLiteral("Spojen na Server.");
    case SendingRequest:
        return QStringLiteral("Šaljem zahtjev ...");
    case RequestSent:
        return QStringLiteral("Zahtjev poslan.");
    case ReceivingResponse:
        return QStringLiteral("Primam odgovor ...");
    case ResponseReceived:
        return QStringLiteral("Odgovor primljen.");
    case ControlResponseReceived:
        return QStringLiteral("CTL odgovor primljen.");
    case ClosingConnection:
        return QStringLiteral("Zatvaram vezu ...");
    case ConnectionClosed:
        return QStringLiteral("Veza zatvorena.");
    case HandleCreated:
        return QStringLiteral("Veza kreirana.");
    case HandleClosing:
        return QStringLiteral("...");
    case RequestComplete:
        return QStringLiteral("Zahtjev izvršen.");
    case Redirect:
        return QStringLiteral("Redirekcija ...");
    default:
        return QString();
    }
}
