#include "control/remotesettings.h"

#include "control/controllogging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QRandomGenerator>
#include <QSettings>
#include <fcntl.h>
#include <unistd.h>

namespace {

QSettings controllerStore()
{
    return QSettings(QStringLiteral("Quillbrook Inc"), QStringLiteral("QB-Timer"));
}

// A stored "ADDR:PORT", nothing (with a warning when it is malformed) when there is none.
std::optional<ListenAddress> storedAddress(const QString &key, const QString &text)
{
    if (text.isEmpty())
        return std::nullopt;
    const std::optional<ListenAddress> address = ListenAddress::parse(text);
    if (!address)
        qCWarning(lcRemote, "%s: \"%s\" is not ADDR:PORT", qUtf8Printable(key),
                  qUtf8Printable(text));
    return address;
}

// Makes the store readable by its owner only before a secret is written to it. The settings
// write a new copy beside the file and rename it over; that copy takes the permissions of the
// file it replaces, so it must never be open to others, even while it is being written.
void makeOwnerOnly(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_CLOEXEC,
                          S_IRUSR | S_IWUSR);
    if (fd >= 0)
        ::close(fd);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}

// The token kept under `key`, made on first use, in a store readable by its owner only.
QByteArray storedToken(const QString &key)
{
    QSettings store = controllerStore();
    makeOwnerOnly(store.fileName());
    QByteArray token = store.value(key).toByteArray();
    if (token.size() < 16) {
        QByteArray random(24, Qt::Uninitialized);
        QRandomGenerator::system()->generate(random.begin(), random.end());
        token = random.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
        store.setValue(key, token);
        store.sync();
    }
    return token;
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
    const QString key = QStringLiteral("remote/httpListen");
    return storedAddress(key, controllerStore().value(key).toString());
}

std::optional<ListenAddress> oscListen()
{
    const QString key = QStringLiteral("remote/oscListen");
    return storedAddress(key, controllerStore().value(key).toString());
}

QStringList oscAllow()
{
    return controllerStore().value(QStringLiteral("remote/oscAllow")).toStringList();
}

std::vector<ListenAddress> oscFeedback()
{
    const QString key = QStringLiteral("remote/oscFeedback");
    std::vector<ListenAddress> targets;
    for (const QString &text : controllerStore().value(key).toStringList()) {
        if (const std::optional<ListenAddress> target = storedAddress(key, text))
            targets.push_back(*target);
    }
    return targets;
}

QByteArray httpToken()
{
    return storedToken(QStringLiteral("remote/httpToken"));
}

QByteArray viewerToken()
{
    return storedToken(QStringLiteral("remote/viewerToken"));
}

} // namespace RemoteSettings
