#include "control/remotecontrol.h"

#include "control/controllogging.h"
#include "control/webpage.h"
#include "controller/handlegui.h"
#include "models/programdatamodel.h"

namespace {

// Where a door listens: where the command line says, else where the store says (read only then,
// so a malformed key the command line overrides is not warned of), else on loopback in headless
// mode; nowhere otherwise.
std::optional<ListenAddress> listenAddress(const std::optional<ListenAddress> &asked,
                                           std::optional<ListenAddress> (*stored)(), bool headless,
                                           int defaultPort)
{
    if (asked)
        return asked;
    if (const std::optional<ListenAddress> fromStore = stored())
        return fromStore;
    if (headless)
        return ListenAddress{QStringLiteral("127.0.0.1"), defaultPort};
    return std::nullopt;
}

} // namespace

RemoteControl::RemoteControl(HandleGui &gui, TimerDataModel &timers, ProgramDataModel &lines,
                             QObject *parent)
    : QObject(parent), m_state(gui, timers, lines), m_context(gui, timers, lines, m_state),
      m_gate(m_context)
{
    connect(&m_state, &ControlState::changed, this,
            [this](const QString &kind, const QJsonObject &data) { m_events.publish(kind, data); });
    // The window loads the open program's lines on its first visit to the program page; the
    // doors show them from the start.
    if (lines.rowCount() == 0)
        gui.openProgram(gui.programSlots().currentProgram());
}

RemoteControl::~RemoteControl()
{
    stop();
}

std::optional<ListenAddress> RemoteControl::httpAddress(const std::optional<ListenAddress> &asked,
                                                        bool headless)
{
    return listenAddress(asked, RemoteSettings::httpListen, headless, HttpApi::kDefaultPort);
}

bool RemoteControl::startHttp(const ListenAddress &where, QString *error)
{
    HttpApi::Options options;
    options.host = where.host;
    options.port = where.port;
    if (!where.isLoopback()) {
        options.token = RemoteSettings::httpToken();
        options.viewerToken = RemoteSettings::viewerToken();
    }
    return startHttp(options, error);
}

bool RemoteControl::startHttp(const HttpApi::Options &options, QString *error)
{
    auto http = std::make_unique<HttpApi>(m_gate, m_events, options);
    WebPage::addTo(*http);
    if (!http->start(error))
        return false;
    qCInfo(lcRemote, "HTTP API listening on %s port %d", qUtf8Printable(options.host),
           http->port());
    m_http = std::move(http);
    return true;
}

std::optional<OscServer::Options>
RemoteControl::oscOptions(const std::optional<ListenAddress> &asked, const QStringList &askedAllow,
                          bool headless)
{
    const std::optional<ListenAddress> where =
        listenAddress(asked, RemoteSettings::oscListen, headless, OscServer::kDefaultPort);
    if (!where)
        return std::nullopt;
    OscServer::Options options;
    options.host = where->host;
    options.port = where->port;
    options.allow = askedAllow.isEmpty() ? RemoteSettings::oscAllow() : askedAllow;
    for (const ListenAddress &target : RemoteSettings::oscFeedback())
        options.feedback.append({QHostAddress(target.host), quint16(target.port)});
    return options;
}

bool RemoteControl::startOsc(const OscServer::Options &options, QString *error)
{
    auto osc = std::make_unique<OscServer>(m_gate, m_events, options);
    if (!osc->start(error))
        return false;
    qCInfo(lcRemote, "OSC listening on %s port %d", qUtf8Printable(options.host), osc->port());
    m_osc = std::move(osc);
    return true;
}

void RemoteControl::stop()
{
    m_gate.close();
    m_events.close();
    if (m_http)
        m_http->stop();
    if (m_osc)
        m_osc->stop();
}
