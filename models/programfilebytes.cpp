#include "models/programfilebytes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTextCodec>

namespace {

bool isUtf8(const QByteArray &bytes)
{
    QTextCodec::ConverterState state;
    QTextCodec::codecForMib(106)->toUnicode(bytes.constData(), bytes.size(), &state);
    return state.invalidChars == 0 && state.remainingChars == 0;
}

// A private-use character the text does not hold, to mark a place in it.
QString markerFor(const QString &text)
{
    for (char16_t code = 0xE000; code < 0xF900; ++code) {
        if (!text.contains(QChar(code)))
            return QString(QChar(code));
    }
    return {};
}

// The keys and indexes that lead to the first string holding the marker; a key that holds it
// ends the place as "a field's name".
bool placeOf(const QJsonValue &value, const QString &marker, QStringList &place)
{
    if (value.isString())
        return value.toString().contains(marker);
    if (value.isArray()) {
        const QJsonArray array = value.toArray();
        for (int index = 0; index < array.size(); ++index) {
            place << QString::number(index);
            if (placeOf(array.at(index), marker, place))
                return true;
            place.removeLast();
        }
    }
    const QJsonObject object = value.toObject();
    for (auto it = object.begin(); it != object.end(); ++it) {
        place << (it.key().contains(marker) ? QStringLiteral("a field's name") : it.key());
        if (it.key().contains(marker) || placeOf(it.value(), marker, place))
            return true;
        place.removeLast();
    }
    return false;
}

// As the reader names a place: "line 3: command", "name".
QString placeText(QStringList place)
{
    if (place.size() >= 2 && place.at(0) == QLatin1String("lines"))
        place.replace(0, QStringLiteral("line %1").arg(place.takeAt(1).toInt() + 1));
    return place.join(QStringLiteral(": "));
}

// The field that holds the byte at `at`, which the JSON reader found not to be UTF-8: the byte
// is replaced by a marker (the bytes after it as a lenient reader takes them) and looked for.
QString fieldAt(const QByteArray &file, int at)
{
    const QString marker = markerFor(QString::fromUtf8(file));
    const QByteArray marked =
        file.left(at) + marker.toUtf8() + QString::fromUtf8(file.mid(at + 1)).toUtf8();
    QStringList place;
    if (marker.isEmpty() || !placeOf(QJsonDocument::fromJson(marked).object(), marker, place))
        return {};
    return placeText(place);
}

} // namespace

QString ProgramFileBytes::fault(const QByteArray &file)
{
    if (file.size() > kMaxBytes)
        return QStringLiteral("more than the %1 bytes a program file can have").arg(kMaxBytes);
    if (isUtf8(file))
        return {};
    QJsonParseError parse;
    QJsonDocument::fromJson(file, &parse);
    if (parse.error != QJsonParseError::IllegalUTF8String)
        return QStringLiteral("not UTF-8 text");
    const QString field = fieldAt(file, parse.offset);
    const QString where = QStringLiteral("not UTF-8 (byte %1)").arg(parse.offset);
    return field.isEmpty() ? where : field + QStringLiteral(": ") + where;
}
