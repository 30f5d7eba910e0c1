#include "control/oscallowlist.h"

namespace {

// An IPv4 source seen on an IPv6 socket (::ffff:a.b.c.d) as the IPv4 address it is.
QHostAddress plain(const QHostAddress &address)
{
    bool isMapped = false;
    const quint32 ipv4 = address.toIPv4Address(&isMapped);
    return isMapped ? QHostAddress(ipv4) : address;
}

} // namespace

std::optional<OscAllowList> OscAllowList::parse(const QStringList &networks, QString *error)
{
    OscAllowList list;
    for (const QString &entry : networks) {
        const QString text = entry.trimmed();
        const QHostAddress single(text);
        QPair<QHostAddress, int> network;
        if (!single.isNull())
            network = {single, single.protocol() == QAbstractSocket::IPv4Protocol ? 32 : 128};
        else if (text.contains(QLatin1Char('/')))
            network = QHostAddress::parseSubnet(text);
        if (network.first.isNull()) {
            if (error)
                *error = QStringLiteral("\"%1\" is not a network (ADDRESS/BITS, such as "
                                        "192.168.1.0/24, or one address)")
                             .arg(text.left(64));
            return std::nullopt;
        }
        list.m_networks.push_back(network);
    }
    return list;
}

bool OscAllowList::admits(const QHostAddress &source) const
{
    const QHostAddress from = plain(source);
    if (from.isLoopback())
        return true;
    for (const QPair<QHostAddress, int> &network : m_networks) {
        if (from.isInSubnet(network))
            return true;
    }
    return false;
}
