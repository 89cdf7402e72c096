#include "shell/ConnectionCheckText.h"

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype FieldWidth = 32;

// The field holds every speed an interface can report (up to 2^31 Mbit/s), so
// padding never has to cut a figure.
QString padded(const QString &text)
{
    return text.leftJustified(FieldWidth, u' ');
}

} // namespace

namespace ConnectionCheckText {

QString caption()
{
    return u"Internet veza"_s;
}

QString statusField(bool onLine)
{
    return padded(onLine ? u"Status: ON Line"_s : u"Status: OFF Line"_s);
}

QString speedField(quint64 hundredsOfBps)
{
    if (hundredsOfBps == 0)
        return padded({});
    return padded(u"Link Speed: "_s + QString::number(hundredsOfBps * 100) + u" bps"_s);
}

quint64 hundredsOfBps(quint64 megabits)
{
    return megabits * 10000;
}

QString text(const NetworkLink &link)
{
    const QString status = link.hasDefaultRoute ? statusField(link.up) : padded({});
    const QString speed = link.up ? speedField(hundredsOfBps(link.speedMbits)) : padded({});
    return status + u'|' + speed;
}

} // namespace ConnectionCheckText
