#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// Where a door listens, "ADDR:PORT" ("127.0.0.1:7380", "[::1]:7380", "0.0.0.0:7380").
struct ListenAddress
{
    QString host;
    int port = 0;

    static std::optional<ListenAddress> parse(const QString &text);
    QString toString() const;
    bool isLoopback() const;
};

// The doors' settings in the controller's store ("Quillbrook Inc" / "QB-Timer", group "remote").
namespace RemoteSettings {

// "remote/httpListen": where the HTTP door listens when the command line does not say.
std::optional<ListenAddress> httpListen();

// "remote/oscListen": where the OSC door listens when the command line does not say.
std::optional<ListenAddress> oscListen();
// "remote/oscAllow": the networks the OSC door takes messages from besides loopback.
QStringList oscAllow();
// "remote/oscFeedback": "host:port" targets told of every change without subscribing.
std::vector<ListenAddress> oscFeedback();

// "remote/httpToken": the token asked of HTTP clients beyond loopback, made on first use. The
// store is then readable by its owner only.
QByteArray httpToken();
// "remote/viewerToken": the read-only token of viewers beyond loopback (the state and the event
// stream, no commands), made on first use as the other one is.
QByteArray viewerToken();

} // namespace RemoteSettings
