#include "output.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <cstdio>

namespace {

QString plain(const QString &text)
{
    static const QRegularExpression control(QStringLiteral("[\\x00-\\x1f\\x7f-\\x9f]"));
    return QString(text).replace(control, QStringLiteral("?"));
}

QString field(const QJsonObject &object, const char *key)
{
    return plain(object.value(QLatin1String(key)).toVariant().toString());
}

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

void displayRows(const QJsonArray &displays)
{
    int width = 0;
    for (const QJsonValue &display : displays)
        width = std::max(width, int(field(display.toObject(), "name").size()));
    for (const QJsonValue &value : displays) {
        const QJsonObject display = value.toObject();
        Output::print(
            QStringLiteral("%1 %2  %3  %4")
                .arg(display.value(QStringLiteral("selected")).toBool() ? QStringLiteral("[x]")
                                                                        : QStringLiteral("[ ]"),
                     field(display, "name").leftJustified(width),
                     field(display, "address").leftJustified(15), field(display, "time")));
    }
}

// A program line's fields after its step and command, as "key value, ...".
QString lineFields(const QJsonObject &line)
{
    QStringList fields;
    for (auto it = line.begin(); it != line.end(); ++it) {
        if (it.key() != QLatin1String("step") && it.key() != QLatin1String("command") &&
            it.key() != QLatin1String("running"))
            fields << it.key() + QLatin1Char(' ') + plain(it.value().toVariant().toString());
    }
    return fields.join(QStringLiteral(", "));
}

} // namespace

namespace Output {

void print(const QString &text)
{
    std::fputs(qUtf8Printable(text + QLatin1Char('\n')), stdout);
}

void complain(const QString &text)
{
    std::fprintf(stderr, "qb-timerctl: %s\n", qUtf8Printable(text));
}

QString errorJson(const QString &kind, const QString &message)
{
    const QJsonObject error{{QStringLiteral("kind"), kind}, {QStringLiteral("message"), message}};
    const QJsonObject answer{{QStringLiteral("ok"), false}, {QStringLiteral("error"), error}};
    return QString::fromUtf8(QJsonDocument(answer).toJson(QJsonDocument::Compact));
}

QStringList missed(const QJsonObject &result)
{
    QStringList lines;
    for (const QJsonValue &value : result.value(QStringLiteral("missed")).toArray()) {
        const QJsonObject display = value.toObject();
        lines << QStringLiteral("%1 (%2) missed %3")
                     .arg(field(display, "name"), field(display, "address"),
                          field(display, "command"));
    }
    return lines;
}

void displays(const QJsonObject &result)
{
    displayRows(result.value(QStringLiteral("displays")).toArray());
}

void programs(const QJsonObject &result)
{
    for (const QJsonValue &value : result.value(QStringLiteral("programs")).toArray()) {
        const QJsonObject program = value.toObject();
        print(QStringLiteral("%1  %2%3")
                  .arg(field(program, "program").rightJustified(2), quoted(field(program, "name")),
                       program.value(QStringLiteral("open")).toBool() ? QStringLiteral("  (open)")
                                                                      : QString()));
    }
}

void program(const QJsonObject &result)
{
    print(QStringLiteral("Program %1 %2")
              .arg(field(result, "program"), quoted(field(result, "name"))));
    for (const QJsonValue &value : result.value(QStringLiteral("lines")).toArray()) {
        const QJsonObject line = value.toObject();
        print(QStringLiteral("%1 %2  %3  %4")
                  .arg(line.value(QStringLiteral("running")).toBool() ? QLatin1Char('>')
                                                                      : QLatin1Char(' '))
                  .arg(field(line, "step").rightJustified(2),
                       field(line, "command").leftJustified(20), lineFields(line)));
    }
}

void state(const QJsonObject &result)
{
    const QJsonObject program = result.value(QStringLiteral("program")).toObject();
    print(QStringLiteral("Mirror:   ") +
          mirrorLine(result.value(QStringLiteral("mirror")).toObject(),
                     result.value(QStringLiteral("captions")).toObject()));
    QString programLine = QStringLiteral("Program:  %1 %2")
                              .arg(field(program, "open"), quoted(field(program, "name")));
    if (program.value(QStringLiteral("active")).toBool())
        programLine += program.value(QStringLiteral("running")).toBool()
                           ? QStringLiteral(", running")
                           : QStringLiteral(", armed");
    if (program.value(QStringLiteral("runningStep")).toInt() > 0)
        programLine += QStringLiteral(" at step %1").arg(field(program, "runningStep"));
    print(programLine);
    print(QStringLiteral("Displays:"));
    displayRows(result.value(QStringLiteral("displays")).toArray());
}

void imported(const QJsonObject &result)
{
    print(QStringLiteral("Program %1 is now %2")
              .arg(field(result, "program"), quoted(field(result, "name"))));
}

void link(const QJsonObject &result)
{
    print(QStringLiteral("Discovery to %1; %2 retries %3 ms apart; status polled every %4 s")
              .arg(field(result, "broadcast"), field(result, "retries"), field(result, "delay"),
                   field(result, "refresh")));
}

QString mirrorLine(const QJsonObject &mirror, const QJsonObject &captions)
{
    QString line = field(mirror, "text") + QStringLiteral("  ") + field(mirror, "mode");
    if (field(mirror, "counting") != QLatin1String("none"))
        line += QStringLiteral(", counting ") + field(mirror, "counting");
    return line + QStringLiteral("  |  count-up %1, count-down %2, program %3")
                      .arg(field(captions, "countUp"), field(captions, "countDown"),
                           field(captions, "program"));
}

} // namespace Output
