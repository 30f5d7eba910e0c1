#pragma once

#include <QHostAddress>
#include <QPair>
#include <QStringList>
#include <optional>
#include <vector>

// The networks the OSC door takes messages from: loopback always, and the networks listed
// ("192.168.1.0/24", "10.0.0.7", "fd00::/8"). Everything else is dropped unanswered.
class OscAllowList
{
public:
    // Nothing, with the entry at fault in `error`, when an entry is not a network.
    static std::optional<OscAllowList> parse(const QStringList &networks, QString *error);

    bool admits(const QHostAddress &source) const;
    bool isEmpty() const { return m_networks.empty(); }

private:
    std::vector<QPair<QHostAddress, int>> m_networks;
};
