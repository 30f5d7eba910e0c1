#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <QVariantList>
#include <vector>

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

// One message as it is, or several as one bundle to be taken at once ("immediately"); empty
// when the result would not fit in one datagram.
QByteArray serialise(const std::vector<OscMessage> &messages);

} // namespace OscWire
