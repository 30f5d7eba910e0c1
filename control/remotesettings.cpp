#include "control/remotesettings.h"

#include "control/controllogging.h"

#include <QFile>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QSettings>

namespace {

QSettings controllerStore()
{
    return QSettings(QStringLiteral("Quillbrook Inc"), QStringLiteral("QB-Timer"));
}

} // namespace

std::optional<ListenAddress> ListenAddress::parse(const QString &text)
{
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return std::nullopt;
    QString host = text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    else if (host.contains(QLatin1Char(':')))
        return std::nullopt; // an IPv6 address takes brackets
    bool isNumber = false;
    const int port = text.mid(colon + 1).toInt(&isNumber);
    if (!isNumber || port < 0 || port > 65535 || QHostAddress(host).isNull())
        return std::nullopt;
    return ListenAddress{host, port};
}

QString ListenAddress::toString() const
{
    const QString shownHost = host.contains(QLatin1Char(':')) ? '[' + host + ']' : host;
    return shownHost + ':' + QString::number(port);
}

bool ListenAddress::isLoopback() const
{
    return QHostAddress(host).isLoopback();
}

namespace RemoteSettings {

std::optional<ListenAddress> httpListen()
{
    const QString text = controllerStore().value(QStringLiteral("remote/httpListen")).toString();
    if (text.isEmpty())
        return std::nullopt;
    const std::optional<ListenAddress> address = ListenAddress::parse(text);
    if (!address)
        qCWarning(lcRemote, "remote/httpListen: \"%s\" is not ADDR:PORT", qUtf8Printable(text));
    return address;
}

QByteArray httpToken()
{
    QSettings store = controllerStore();
    QByteArray token = store.value(QStringLiteral("remote/httpToken")).toByteArray();
    if (token.size() < 16) {
        QByteArray random(24, Qt::Uninitialized);
        QRandomGenerator::system()->generate(random.begin(), random.end());
        token = random.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
        store.setValue(QStringLiteral("remote/httpToken"), token);
        store.sync();
    }
    QFile::setPermissions(store.fileName(), QFile::ReadOwner | QFile::WriteOwner);
    return token;
}

} // namespace RemoteSettings
