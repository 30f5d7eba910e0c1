#include "simlog.h"

#include <QDateTime>
#include <QJsonDocument>

namespace qbsim {

QString endpointText(const QHostAddress &address, quint16 port)
{
    return QStringLiteral("%1:%2").arg(QHostAddress(address.toIPv4Address()).toString()).arg(port);
}

DatagramLog::DatagramLog()
{
    m_started.start();
}

bool DatagramLog::open(const QString &path, QString *error)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, m_file.errorString());
        return false;
    }
    return true;
}

void DatagramLog::datagram(int display, const QString &direction, const QString &from,
                           const QString &to, const QByteArray &bytes, QJsonObject fields)
{
    fields.insert(QStringLiteral("dir"), direction);
    fields.insert(QStringLiteral("from"), from);
    fields.insert(QStringLiteral("to"), to);
    fields.insert(QStringLiteral("len"), bytes.size());
    fields.insert(QStringLiteral("hex"), QString::fromLatin1(bytes.toHex(' ').toUpper()));
    write(display, fields);
}

void DatagramLog::event(int display, const QString &event, QJsonObject fields)
{
    fields.insert(QStringLiteral("event"), event);
    write(display, fields);
}

void DatagramLog::write(int display, QJsonObject fields)
{
    if (!m_file.isOpen())
        return;
    fields.insert(QStringLiteral("t"), m_started.nsecsElapsed() / 1e6);
    fields.insert(QStringLiteral("wall"), QDateTime::currentDateTime().toString(Qt::ISODateWithMs));
    if (display > 0)
        fields.insert(QStringLiteral("display"), display);
    m_file.write(QJsonDocument(fields).toJson(QJsonDocument::Compact));
    m_file.write("\n");
    m_file.flush();
}

} // namespace qbsim
