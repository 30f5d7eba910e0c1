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
        if (arg.type() == QVariant::Int)
            lo_message_add_int32(out, arg.toInt());
        else
            lo_message_add_string(out, arg.toString().toUtf8().constData());
    }
    return out;
}

QByteArray taken(void *bytes, size_t size)
{
    const std::unique_ptr<void, FreeMalloced> owned(bytes);
    if (!bytes || size > size_t(OscWire::kMaxDatagram))
        return {};
    return QByteArray(static_cast<const char *>(bytes), int(size));
}

} // namespace

QString OscMessage::toString() const
{
    QString text = QString::fromUtf8(path);
    for (const QVariant &arg : args)
        text += arg.type() == QVariant::Int ? QStringLiteral(" %1").arg(arg.toInt())
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

QByteArray serialise(const std::vector<OscMessage> &messages)
{
    size_t size = 0;
    if (messages.size() == 1) {
        lo_message message = toLo(messages.front());
        void *bytes =
            lo_message_serialise(message, messages.front().path.constData(), nullptr, &size);
        lo_message_free(message);
        return taken(bytes, size);
    }
    // The bundle takes the messages over and frees them with itself.
    lo_bundle bundle = lo_bundle_new(LO_TT_IMMEDIATE);
    for (const OscMessage &message : messages)
        lo_bundle_add_message(bundle, message.path.constData(), toLo(message));
    void *bytes = lo_bundle_serialise(bundle, nullptr, &size);
    lo_bundle_free_recursive(bundle);
    return taken(bytes, size);
}

} // namespace OscWire
