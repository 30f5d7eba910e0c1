#include "watch.h"

#include "controllerclient.h"
#include "output.h"

#include <QJsonDocument>
#include <csignal>
#include <cstdio>
#include <optional>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t writingInPlace = 0;

// Ctrl+C is how watching ends: done, on a line of its own.
void stopWatching(int)
{
    if (writingInPlace)
        (void)!::write(STDOUT_FILENO, "\n", 1);
    ::_exit(kDone);
}

// The mirror and the captions as the latest events left them.
class MirrorLine
{
public:
    // The line after the event, or nothing when it did not change.
    std::optional<QString> take(const EventStream::Event &event)
    {
        const QJsonObject data = QJsonDocument::fromJson(event.data).object();
        if (event.kind == QLatin1String("state")) {
            m_mirror = data.value(QStringLiteral("mirror")).toObject();
            m_captions = data.value(QStringLiteral("captions")).toObject();
        } else if (event.kind == QLatin1String("mirror")) {
            m_mirror = data;
        } else if (event.kind == QLatin1String("captions")) {
            m_captions = data;
        }
        const QString line = Output::mirrorLine(m_mirror, m_captions);
        if (line == m_shown)
            return std::nullopt;
        m_shown = line;
        return line;
    }

private:
    QJsonObject m_mirror;
    QJsonObject m_captions;
    QString m_shown;
};

QString eventJson(const EventStream::Event &event)
{
    const QJsonObject json{{QStringLiteral("event"), event.kind},
                           {QStringLiteral("data"), QJsonDocument::fromJson(event.data).object()}};
    return QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact));
}

} // namespace

ControllerClient::Answer watchMirror(ControllerClient &client, bool json)
{
    writingInPlace = !json && ::isatty(STDOUT_FILENO);
    std::signal(SIGINT, stopWatching);
    MirrorLine mirror;
    const ControllerClient::Answer answer = client.watch([&](const EventStream::Event &event) {
        if (json) {
            Output::print(eventJson(event));
        } else if (const std::optional<QString> line = mirror.take(event)) {
            if (writingInPlace)
                std::fputs(qUtf8Printable(QStringLiteral("\r\033[K") + *line), stdout);
            else
                Output::print(*line);
        }
        std::fflush(stdout);
    });
    if (writingInPlace)
        std::fputs("\n", stdout);
    return answer;
}
