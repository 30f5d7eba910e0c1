#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <QVariantList>

// One OSC message going out: its address and its arguments, each a string (QString, sent as
// "s") or an integer (int, sent as "i").
struct OscMessage
{
    QByteArray path;
    QVariantList args;

    // `/qb/mirror "01:00.0" "down"`, for logs and tests.
    QString toString() const;
};

// Where a datagram comes from or goes to.
struct OscPeer
{
    QHostAddress host;
    quint16 port = 0;

    QString toString() const;
    bool operator==(const OscPeer &other) const { return host == other.host && port == other.port; }
};

namespace OscWire {

// The largest datagram sent: what fits in one UDP datagram over IPv4.
constexpr int kMaxDatagram = 65507;

// The message as one datagram; empty when it would not fit in one.
QByteArray serialise(const OscMessage &message);

} // namespace OscWire
