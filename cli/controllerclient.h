#pragma once

#include "eventstream.h"
#include "exitstatus.h"

#include <QJsonObject>
#include <functional>
#include <memory>
#include <string>

namespace httplib {
class Client;
}

// The controller's HTTP API as qb-timerctl uses it: one command at a time, and the stream of
// changes. Every outcome comes with the exit status it means.
class ControllerClient
{
public:
    struct Where
    {
        std::string host;
        int port = 0;
        std::string token; // empty for none
    };

    struct Answer
    {
        ExitStatus status = kDone;
        QByteArray body;    // as the controller sent it, when it answered with {"ok", ...}
        QJsonObject result; // the command's result, when done
        QString message;    // why not, when not done
    };

    explicit ControllerClient(Where where);
    ~ControllerClient();

    Answer call(const QString &command, const QJsonObject &args);
    // Hands each event to `onEvent` until the stream ends; the answer says why it ended.
    Answer watch(const std::function<void(const EventStream::Event &)> &onEvent);

private:
    Answer unreachable(const std::string &why) const;
    // With the controller's answer, when it sent one.
    Answer unauthorized(const std::string &body) const;
    std::string address() const;

    Where m_where;
    // The host's first address: the Host header names it, since the controller refuses names
    // other than its own and localhost.
    std::string m_literal;
    std::unique_ptr<httplib::Client> m_http;
};
