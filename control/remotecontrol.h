#pragma once

#include "control/commandcontext.h"
#include "control/commandgate.h"
#include "control/controlstate.h"
#include "control/eventhub.h"
#include "control/httpapi.h"
#include "control/oscserver.h"
#include "control/remotesettings.h"

#include <QObject>
#include <memory>

// The doors from outside to one controller: the state they report, the gate commands come in by,
// the stream of changes and the servers. Lives on the controller's thread; the servers run
// threads of their own and reach the controller only through the gate.
class RemoteControl : public QObject
{
    Q_OBJECT
public:
    static constexpr size_t kMaxSubscribers = 128;

    RemoteControl(HandleGui &gui, TimerDataModel &timers, ProgramDataModel &lines,
                  QObject *parent = nullptr);
    ~RemoteControl() override;

    // Where HTTP is served: where the command line says, else where the store says, else on
    // loopback in headless mode; nowhere otherwise.
    static std::optional<ListenAddress> httpAddress(const std::optional<ListenAddress> &asked,
                                                    bool headless);
    // Serves HTTP, the API and the browser remote's page, with the stored token beyond loopback;
    // false with the reason when it cannot listen.
    bool startHttp(const ListenAddress &where, QString *error);
    bool startHttp(const HttpApi::Options &options, QString *error);
    // Where OSC is served and from which networks, like HTTP: the command line first, then the
    // store, then loopback in headless mode; nowhere otherwise. The store's feedback targets.
    static std::optional<OscServer::Options> oscOptions(const std::optional<ListenAddress> &asked,
                                                        const QStringList &askedAllow,
                                                        bool headless);
    bool startOsc(const OscServer::Options &options, QString *error);
    // Closes every door; commands on their way are told the controller is unavailable.
    void stop();

    HttpApi *http() { return m_http.get(); }
    OscServer *osc() { return m_osc.get(); }
    // The doors' way in, for what times them.
    CommandGate &gate() { return m_gate; }

private:
    ControlState m_state;
    CommandContext m_context;
    CommandGate m_gate;
    EventHub m_events{kMaxSubscribers};
    std::unique_ptr<HttpApi> m_http;
    std::unique_ptr<OscServer> m_osc;
};
