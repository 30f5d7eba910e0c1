#include "control/oscallowlist.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr int kMappedPrefix = 96; // ::ffff:0:0/96 holds the IPv4 addresses

// An IPv4 address written in IPv6: ::ffff:a.b.c.d.
bool isMapped(const QHostAddress &address)
{
    if (address.protocol() != QAbstractSocket::IPv6Protocol)
        return false;
    const Q_IPV6ADDR bytes = address.toIPv6Address();
    static constexpr quint8 kPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
    return std::equal(std::begin(kPrefix), std::end(kPrefix), bytes.c);
}

// A mapped address as the IPv4 address it is.
QHostAddress plain(const QHostAddress &address)
{
    return isMapped(address) ? QHostAddress(address.toIPv4Address()) : address;
}

QString notANetwork(const QString &text)
{
    return QStringLiteral("\"%1\" is not a network (ADDRESS/BITS, such as 192.168.1.0/24, or one "
                          "address)")
        .arg(text.left(64));
}

} // namespace

std::optional<OscAllowList> OscAllowList::parse(const QStringList &networks, QString *error)
{
    const auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    OscAllowList list;
    for (const QString &entry : networks) {
        const QString text = entry.trimmed();
        const QHostAddress written(text.section(QLatin1Char('/'), 0, 0));
        QPair<QHostAddress, int> network;
        if (!text.contains(QLatin1Char('/')))
            network = {written, written.protocol() == QAbstractSocket::IPv4Protocol ? 32 : 128};
        else
            network = QHostAddress::parseSubnet(text);
        if (network.first.isNull())
            return fail(notANetwork(text));
        if (isMapped(written)) {
            if (network.second < kMappedPrefix)
                return fail(QStringLiteral("\"%1\" reaches beyond the IPv4 addresses: write the "
                                           "IPv4 network (such as 192.168.1.0/24)")
                                .arg(text.left(64)));
            network = QHostAddress::parseSubnet(QStringLiteral("%1/%2").arg(
                plain(written).toString(), QString::number(network.second - kMappedPrefix)));
        }
        if (!written.isNull() && plain(written) != network.first)
            list.m_warnings << QStringLiteral("\"%1\" has host bits set: it admits all of %2/%3")
                                   .arg(text.left(64), network.first.toString())
                                   .arg(network.second);
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
