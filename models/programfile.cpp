#include "models/programfile.h"

#include "link/programpackets.h"
#include "models/duration.h"
#include "models/programfilebytes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QStringList>
#include <cmath>
#include <iterator>
#include <optional>

const char ProgramFile::kFormat[] = "qb-timer-program";

using ProgramCodec::WideLine;

namespace {

// ---- commands and colours by name ----

// Index = command code - 1.
const char *const kCommandKeys[] = {
    "interval-down", "interval-up",       "count-up",       "count-up-tenths",
    "count-down",    "count-down-tenths", "repeat",         "end",
    "colour",        "count-up-days",     "count-down-days"};
constexpr int kCommands = int(std::size(kCommandKeys));
constexpr int kColours = 10;
constexpr int kFirstUserColour = 7; // User1 to User3 show the line's RGB values

int commandCode(const QString &key)
{
    for (int code = 1; code <= kCommands; ++code) {
        if (key == QLatin1String(kCommandKeys[code - 1]))
            return code;
    }
    return 0;
}

QString commandList()
{
    QStringList keys;
    for (const char *key : kCommandKeys)
        keys << QLatin1String(key);
    return keys.join(QStringLiteral(", "));
}

int colourIndex(const QString &name)
{
    for (int index = 0; index < kColours; ++index) {
        if (name == ProgramNames::colorName(index))
            return index;
    }
    return -1;
}

QString colourList()
{
    QStringList names;
    for (int index = 0; index < kColours; ++index)
        names << ProgramNames::colorName(index);
    return names.join(QStringLiteral(", "));
}

bool isUserColour(int index)
{
    return index >= kFirstUserColour && index < kColours;
}

// ---- durations: whole seconds ----

QString durationText(qint64 seconds)
{
    const qint64 minutes = seconds / 60;
    if (minutes < 60)
        return QString::asprintf("%lld:%02lld", minutes, seconds % 60);
    return QString::asprintf("%lld:%02lld:%02lld", minutes / 60, minutes % 60, seconds % 60);
}

// ---- the fields of a line ----

enum class Kind { Flag, Number, Duration, Target, Colour, Rgb };

using CommandSet = quint16;
constexpr CommandSet only(int code)
{
    return CommandSet(1u << code);
}
constexpr CommandSet kIntervals = only(TC_INTERVAL_DOWN) | only(TC_INTERVAL_UP);
constexpr CommandSet kTimed = kIntervals | only(TC_UP_HMS) | only(TC_UP_MST) | only(TC_DOWN_HMS) |
                              only(TC_DOWN_MST) | only(TC_UP_DHM) | only(TC_DOWN_DHM);

bool covers(CommandSet commands, int code)
{
    return code > 0 && code <= kCommands && (commands & only(code)) != 0;
}

qint64 rgb(quint8 red, quint8 green, quint8 blue)
{
    return qint64(red) << 16 | green << 8 | blue;
}

// The fields the program editor offers for each command, in the order a file shows them.
struct Field
{
    const char *key;
    CommandSet commands;
    Kind kind;
    qint64 low, high;
    bool required;
    bool omittedWhenZero;            // flags and the alarm are written only when set
    qint64 (*get)(const WideLine &); // -1 where the line has no such value
    void (*set)(ProgramLine &, qint64);
};

const Field kFields[] = {
    {"start-time", kTimed, Kind::Duration, 0, 65535, false, false,
     [](const WideLine &w) -> qint64 { return w.startseconds; },
     [](ProgramLine &l, qint64 v) { l.startseconds = quint16(v); }},
    {"stop-time", kTimed, Kind::Duration, 0, 65535, false, false,
     [](const WideLine &w) -> qint64 { return w.stopseconds; },
     [](ProgramLine &l, qint64 v) { l.stopseconds = quint16(v); }},
    {"goto", only(TC_REPEAT), Kind::Target, 1, 9, true, false,
     [](const WideLine &w) -> qint64 { return w.line.gotoline + 1; },
     [](ProgramLine &l, qint64 v) { l.gotoline = quint8(v - 1); }},
    {"repeats", only(TC_REPEAT), Kind::Number, 0, 254, false, false,
     [](const WideLine &w) -> qint64 { return w.line.repeatcountset; },
     [](ProgramLine &l, qint64 v) { l.repeatcountset = quint8(v); }},
    {"increment-interval", kIntervals | only(TC_REPEAT), Kind::Flag, 0, 1, false, true,
     [](const WideLine &w) -> qint64 { return w.line.incrementinterval != 0; },
     [](ProgramLine &l, qint64 v) { l.incrementinterval = quint8(v); }},
    {"alarm", kTimed | only(TC_DONE), Kind::Number, 0, 10, false, true,
     [](const WideLine &w) -> qint64 { return w.line.relaytimesec; },
     [](ProgramLine &l, qint64 v) { l.relaytimesec = quint8(v); }},
    // An end line's go-to byte holds its flags: bit 0 Reset, bit 1 Stop.
    {"reset", only(TC_DONE), Kind::Flag, 0, 1, false, true,
     [](const WideLine &w) -> qint64 { return w.line.gotoline & 1; },
     [](ProgramLine &l, qint64 v) { l.gotoline |= quint8(v); }},
    {"stop", only(TC_DONE), Kind::Flag, 0, 1, false, true,
     [](const WideLine &w) -> qint64 { return w.line.gotoline >> 1 & 1; },
     [](ProgramLine &l, qint64 v) { l.gotoline |= quint8(v << 1); }},
    {"hours-colour", only(TC_COLOR), Kind::Colour, 0, kColours - 1, true, false,
     [](const WideLine &w) -> qint64 { return w.line.color1; },
     [](ProgramLine &l, qint64 v) { l.color1 = quint8(v); }},
    {"hours-rgb", only(TC_COLOR), Kind::Rgb, 0, 0xffffff, false, false,
     [](const WideLine &w) -> qint64 {
         const ProgramLine &l = w.line;
         return isUserColour(l.color1) ? rgb(l.red1, l.grn1, l.blu1) : -1;
     },
     [](ProgramLine &l, qint64 v) {
         l.red1 = quint8(v >> 16);
         l.grn1 = quint8(v >> 8);
         l.blu1 = quint8(v);
     }},
    {"min-sec-colour", only(TC_COLOR), Kind::Colour, 0, kColours - 1, true, false,
     [](const WideLine &w) -> qint64 { return w.line.color2; },
     [](ProgramLine &l, qint64 v) { l.color2 = quint8(v); }},
    {"min-sec-rgb", only(TC_COLOR), Kind::Rgb, 0, 0xffffff, false, false,
     [](const WideLine &w) -> qint64 {
         const ProgramLine &l = w.line;
         return isUserColour(l.color2) ? rgb(l.red2, l.grn2, l.blu2) : -1;
     },
     [](ProgramLine &l, qint64 v) {
         l.red2 = quint8(v >> 16);
         l.grn2 = quint8(v >> 8);
         l.blu2 = quint8(v);
     }},
};

const Field *fieldNamed(const QString &key)
{
    for (const Field &field : kFields) {
        if (key == QLatin1String(field.key))
            return &field;
    }
    return nullptr;
}

// ---- writing ----

QJsonValue jsonValue(Kind kind, qint64 value)
{
    switch (kind) {
    case Kind::Flag:
        return value != 0;
    case Kind::Duration:
        return durationText(value);
    case Kind::Colour:
        // An index without a name is written as it is, for the reader to refuse.
        if (value < kColours)
            return ProgramNames::colorName(int(value));
        break;
    case Kind::Rgb:
        return QString::asprintf("#%06llx", value);
    case Kind::Number:
    case Kind::Target:
        break;
    }
    return value;
}

// A code without a name is written as it is, for the reader to refuse.
QJsonValue commandValue(int code)
{
    if (code < 1 || code > kCommands)
        return code;
    return QLatin1String(kCommandKeys[code - 1]);
}

// Shown lines have every field; files leave out flags and alarms that are off.
enum class Zeros { Shown, Omitted };

QJsonObject lineObject(const WideLine &wide, Zeros zeros = Zeros::Omitted)
{
    const int code = wide.line.command;
    QJsonObject object{{QStringLiteral("command"), commandValue(code)}};
    for (const Field &field : kFields) {
        if (!covers(field.commands, code))
            continue;
        const qint64 value = field.get(wide);
        if (value < 0 || (value == 0 && field.omittedWhenZero && zeros == Zeros::Omitted))
            continue;
        object.insert(QLatin1String(field.key), jsonValue(field.kind, value));
    }
    return object;
}

QJsonArray lineArray(const QVector<WideLine> &lines)
{
    QJsonArray array;
    for (const WideLine &wide : lines)
        array.append(lineObject(wide));
    return array;
}

QByteArray compact(const QJsonValue &value)
{
    const QByteArray list = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return list.mid(1, list.size() - 2);
}

QByteArray keyed(const char *key, const QJsonValue &value)
{
    return '"' + QByteArray(key) + "\": " + compact(value);
}

QByteArray lineText(const QJsonObject &line)
{
    QByteArrayList parts{keyed("command", line.value(QStringLiteral("command")))};
    for (const Field &field : kFields) {
        if (line.contains(QLatin1String(field.key)))
            parts << keyed(field.key, line.value(QLatin1String(field.key)));
    }
    return '{' + parts.join(", ") + '}';
}

// ---- reading ----

QString shown(const QJsonValue &value)
{
    return QString::fromUtf8(compact(value));
}

// A value read from a file, or why it cannot be.
struct Reading
{
    qint64 value = 0;
    QString error;
};

Reading refusedAs(const QJsonValue &value, const QString &why)
{
    return {0, shown(value) + QLatin1Char(' ') + why};
}

std::optional<qint64> wholeNumber(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (std::floor(number) != number || std::fabs(number) > 1e15)
        return std::nullopt;
    return qint64(number);
}

Reading readDuration(const QJsonValue &value)
{
    const std::optional<qint64> number = wholeNumber(value);
    if ((number && *number < 0) || value.toString().startsWith(QLatin1Char('-')))
        return refusedAs(value, QStringLiteral("is negative"));
    const std::optional<qint64> seconds = number ? number : Duration::seconds(value.toString());
    if (!seconds)
        return refusedAs(value, QStringLiteral("is not a duration (90, 1:30, 1:02:03 or 1m30s)"));
    return {*seconds, {}};
}

Reading readValue(Kind kind, const QJsonValue &value)
{
    switch (kind) {
    case Kind::Flag:
        if (!value.isBool())
            return refusedAs(value, QStringLiteral("is not true or false"));
        return {value.toBool(), {}};
    case Kind::Number:
    case Kind::Target:
        if (const std::optional<qint64> number = wholeNumber(value))
            return {*number, {}};
        return refusedAs(value, QStringLiteral("is not a whole number"));
    case Kind::Duration:
        return readDuration(value);
    case Kind::Colour: {
        const int index = value.isString() ? colourIndex(value.toString()) : -1;
        if (index < 0)
            return refusedAs(value, QStringLiteral("is not a colour (%1)").arg(colourList()));
        return {index, {}};
    }
    case Kind::Rgb: {
        static const QRegularExpression hex(QStringLiteral("^#[0-9a-fA-F]{6}$"));
        if (!value.isString() || !hex.match(value.toString()).hasMatch())
            return refusedAs(value, QStringLiteral("is not #rrggbb"));
        return {value.toString().mid(1).toLongLong(nullptr, 16), {}};
    }
    }
    return {};
}

QString boundText(Kind kind, qint64 bound)
{
    return kind == Kind::Duration ? durationText(bound) : QString::number(bound);
}

// Where a line is: its number from 1 and how many lines the program has.
struct LinePlace
{
    int number;
    int count;
};

Reading readField(const Field &field, const QJsonValue &value, LinePlace place)
{
    const Reading reading = readValue(field.kind, value);
    if (!reading.error.isEmpty())
        return reading;
    if (field.kind == Kind::Target && reading.value > place.count)
        return refusedAs(value, QStringLiteral("is past the last line (%1)").arg(place.count));
    if (reading.value < field.low || reading.value > field.high)
        return refusedAs(
            value, QStringLiteral("is outside %1..%2")
                       .arg(boundText(field.kind, field.low), boundText(field.kind, field.high)));
    // A repeat line that names itself would loop at once; the editor never stores one.
    if (field.kind == Kind::Target && reading.value == place.number)
        return refusedAs(value, QStringLiteral("is the repeat line itself"));
    return reading;
}

// A required field the line lacks, an RGB value without a user colour, or both end flags.
QString checkPresence(const QJsonObject &object, const ProgramLine &line)
{
    for (const Field &field : kFields) {
        if (!covers(field.commands, line.command))
            continue;
        const bool given = object.contains(QLatin1String(field.key));
        if (field.required && !given)
            return QLatin1String(field.key) + QStringLiteral(": missing");
        if (given && field.kind == Kind::Rgb && field.get(WideLine{line, 0, 0}) < 0)
            return QLatin1String(field.key) + QStringLiteral(": only a user colour takes RGB");
    }
    // The editor's Stop and Reset boxes exclude each other.
    if (line.command == TC_DONE && (line.gotoline & 3) == 3)
        return QStringLiteral("stop: an end line resets or stops, not both");
    return {};
}

QString readLineFields(const QJsonValue &value, LinePlace place, ProgramLine *line)
{
    if (!value.isObject())
        return shown(value) + QStringLiteral(" is not a line object");
    const QJsonObject object = value.toObject();
    const QJsonValue command = object.value(QStringLiteral("command"));
    if (command.isUndefined())
        return QStringLiteral("command: missing");
    line->command = quint8(commandCode(command.toString()));
    if (line->command == 0)
        return QStringLiteral("command: %1 is not a command (%2)")
            .arg(shown(command), commandList());
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (it.key() == QLatin1String("command"))
            continue;
        const Field *field = fieldNamed(it.key());
        if (!field || !covers(field->commands, line->command))
            return it.key() + QStringLiteral(": not a field of %1 lines").arg(command.toString());
        const Reading reading = readField(*field, it.value(), place);
        if (!reading.error.isEmpty())
            return it.key() + QStringLiteral(": ") + reading.error;
        field->set(*line, reading.value);
    }
    return checkPresence(object, *line);
}

QString lineCountError(int count)
{
    if (count >= 1 && count <= ProgramCodec::kSteps)
        return {};
    return QStringLiteral("lines: a program has 1 to %1 lines, not %2")
        .arg(ProgramCodec::kSteps)
        .arg(count);
}

QString readLines(const QJsonArray &array, QVector<ProgramLine> *lines)
{
    const QString countError = lineCountError(array.size());
    if (!countError.isEmpty())
        return countError;
    for (int row = 0; row < array.size(); ++row) {
        ProgramLine line;
        const QString error = readLineFields(array.at(row), {row + 1, int(array.size())}, &line);
        if (!error.isEmpty())
            return QStringLiteral("line %1: %2").arg(row + 1).arg(error);
        lines->append(line);
    }
    // The editor keeps an end line last, so a display never runs past the program.
    if (lines->constLast().command != TC_DONE)
        return QStringLiteral("line %1: command: the last line must be \"end\"").arg(array.size());
    return {};
}

// Program text is read as the lines it spells, so that it is checked as a file is.
QString readTextLines(const QString &text, QVector<ProgramLine> *lines)
{
    static const QRegularExpression hexDigits(QStringLiteral("^[0-9a-fA-F]*$"));
    static const QRegularExpression space(QStringLiteral("\\s"));
    const QString digits = QString(text).remove(space);
    if (!hexDigits.match(digits).hasMatch())
        return QStringLiteral("lines: %1 is not program text (%2 hex digits a line)")
            .arg(shown(text), QString::number(ProgramCodec::kTextLineLength));
    if (digits.size() % ProgramCodec::kTextLineLength != 0)
        return QStringLiteral("lines: %1 hex digits are not whole lines of %2")
            .arg(digits.size())
            .arg(ProgramCodec::kTextLineLength);
    const QString countError = lineCountError(digits.size() / ProgramCodec::kTextLineLength);
    if (!countError.isEmpty())
        return countError;
    return readLines(lineArray(ProgramCodec::wideLinesFromText(digits)), lines);
}

QString readName(const QJsonValue &value, QString *name)
{
    if (value.isUndefined())
        return QStringLiteral("name: missing");
    if (!value.isString())
        return QStringLiteral("name: %1 is not text").arg(shown(value));
    *name = value.toString();
    const QString fault = ProgramFile::nameFault(*name);
    return fault.isEmpty() ? fault : QStringLiteral("name: ") + fault;
}

QString readHeader(const QJsonObject &object)
{
    const QJsonValue format = object.value(QStringLiteral("format"));
    if (format.isUndefined())
        return QStringLiteral("format: missing");
    if (format != QLatin1String(ProgramFile::kFormat))
        return QStringLiteral("format: %1 is not \"%2\"").arg(shown(format), ProgramFile::kFormat);
    const QJsonValue version = object.value(QStringLiteral("version"));
    if (version.isUndefined())
        return QStringLiteral("version: missing");
    if (version != ProgramFile::kVersion)
        return QStringLiteral("version: %1 is not a version this program reads (%2)")
            .arg(shown(version), QString::number(ProgramFile::kVersion));
    for (const QString &key : object.keys()) {
        if (!QStringList{"format", "version", "name", "lines"}.contains(key))
            return key + QStringLiteral(": not a field of a program file");
    }
    return {};
}

ProgramFile::Imported refused(const QString &error)
{
    return {error, {}, false, {}};
}

ProgramFile::Imported taken(bool named, const QString &name, const QVector<ProgramLine> &lines)
{
    return {{}, name, named, ProgramCodec::textFromLines(lines)};
}

} // namespace

QString ProgramFile::nameFault(const QString &name)
{
    static const QRegularExpression control(QStringLiteral("[\\x00-\\x1f\\x7f]"));
    const int bytes = name.toUtf8().size();
    if (bytes > kNameBytes)
        return QStringLiteral("%1 is %2 bytes of UTF-8, more than the %3 a display holds")
            .arg(shown(name), QString::number(bytes), QString::number(kNameBytes));
    if (name.contains(control))
        return QStringLiteral("%1 holds a control character").arg(shown(name));
    return {};
}

QJsonObject ProgramFile::shownLine(const ProgramLine &line)
{
    return lineObject({line, line.startseconds, line.stopseconds}, Zeros::Shown);
}

QJsonObject ProgramFile::toJson(const QString &name, const ProgramText &text)
{
    // The name as a display holds it: a generated name may be longer.
    const QString held = QString::fromUtf8(Protocol::programNameField(name).constData());
    return {{QStringLiteral("format"), QLatin1String(kFormat)},
            {QStringLiteral("version"), kVersion},
            {QStringLiteral("name"), held},
            {QStringLiteral("lines"), lineArray(ProgramCodec::wideLinesFromText(text))}};
}

QByteArray ProgramFile::exportProgram(const QString &name, const ProgramText &text)
{
    const QJsonObject object = toJson(name, text);
    QByteArrayList lines;
    for (const QJsonValue &line : object.value(QStringLiteral("lines")).toArray())
        lines << "        " + lineText(line.toObject());
    QByteArray file = "{\n";
    for (const char *key : {"format", "version", "name"})
        file += "    " + keyed(key, object.value(QLatin1String(key))) + ",\n";
    return file + "    \"lines\": [\n" + lines.join(",\n") + "\n    ]\n}\n";
}

ProgramFile::Imported ProgramFile::importProgram(const QJsonObject &object)
{
    QString error = readHeader(object);
    QString name;
    if (error.isEmpty())
        error = readName(object.value(QStringLiteral("name")), &name);
    if (!error.isEmpty())
        return refused(error);
    const QJsonValue lines = object.value(QStringLiteral("lines"));
    QVector<ProgramLine> read;
    if (lines.isUndefined())
        error = QStringLiteral("lines: missing");
    else if (lines.isString())
        error = readTextLines(lines.toString(), &read);
    else if (lines.isArray())
        error = readLines(lines.toArray(), &read);
    else
        error = QStringLiteral("lines: %1 is neither a list of lines nor program text")
                    .arg(shown(lines));
    return error.isEmpty() ? taken(true, name, read) : refused(error);
}

ProgramFile::Imported ProgramFile::importProgram(const QByteArray &file)
{
    static const QRegularExpression hexAndSpace(QStringLiteral("^[0-9a-fA-F\\s]+$"));
    const QString fault = ProgramFileBytes::fault(file);
    if (!fault.isEmpty())
        return refused(fault);
    const QString text = QString::fromUtf8(file);
    if (hexAndSpace.match(text).hasMatch() && !text.trimmed().isEmpty()) {
        QVector<ProgramLine> read;
        const QString error = readTextLines(text, &read);
        return error.isEmpty() ? taken(false, {}, read) : refused(error);
    }
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(file, &parse);
    if (parse.error != QJsonParseError::NoError)
        return refused(QStringLiteral("malformed JSON at byte %1: %2")
                           .arg(parse.offset)
                           .arg(parse.errorString()));
    if (!document.isObject())
        return refused(QStringLiteral("a program file is a JSON object"));
    return importProgram(document.object());
}
