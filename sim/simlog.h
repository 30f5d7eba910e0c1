#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QJsonObject>

namespace qbsim {

QString endpointText(const QHostAddress &address, quint16 port);

// The JSON-lines log: one object per datagram received ("rx"), sent ("tx") or swallowed by the
// simulated loss ("lost"), and per clock event. Every line carries "t" (ms since the log was
// opened), "wall" (local ISO time) and, when it concerns one display, "display" (its number from
// 1). Each line is flushed at once so that a reader can follow the file while it grows.
class DatagramLog
{
public:
    DatagramLog();

    bool open(const QString &path, QString *error);

    void datagram(int display, const QString &direction, const QString &from, const QString &to,
                  const QByteArray &bytes, QJsonObject fields = QJsonObject());
    void event(int display, const QString &event, QJsonObject fields = QJsonObject());
    void write(int display, QJsonObject fields);

private:
    QFile m_file;
    QElapsedTimer m_started;
};

} // namespace qbsim
