#include "control/oscmessage.h"

#include <cstdlib>
#include <lo/lo.h>
#include <memory>

namespace {

struct FreeMalloced
{
    void operator()(void *bytes) const { std::free(bytes); }
};

lo_message toLo(const OscMessage &message)
{
    lo_message out = lo_message_new();
    for (const QVariant &arg : message.args) {
        if (arg.userType() == QMetaType::Int)
            lo_message_add_int32(out, arg.toInt());
        else
            lo_message_add_string(out, arg.toString().toUtf8().constData());
    }
    return out;
}

} // namespace

QString OscMessage::toString() const
{
    QString text = QString::fromUtf8(path);
    for (const QVariant &arg : args)
        text += arg.userType() == QMetaType::Int ? QStringLiteral(" %1").arg(arg.toInt())
                                                 : QStringLiteral(" \"%1\"").arg(arg.toString());
    return text;
}

QString OscPeer::toString() const
{
    const QString shownHost = host.protocol() == QAbstractSocket::IPv6Protocol
                                  ? '[' + host.toString() + ']'
                                  : host.toString();
    return shownHost + ':' + QString::number(port);
}

namespace OscWire {

QByteArray serialise(const OscMessage &message)
{
    lo_message out = toLo(message);
    size_t size = 0;
    const std::unique_ptr<void, FreeMalloced> bytes(
        lo_message_serialise(out, message.path.constData(), nullptr, &size));
    lo_message_free(out);
    if (!bytes || size > size_t(kMaxDatagram))
        return {};
    return QByteArray(static_cast<const char *>(bytes.get()), int(size));
}

} // namespace OscWire
