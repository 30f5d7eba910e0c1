#include "controller/programslots.h"
#include "models/programfile.h"
#include "models/programfilebytes.h"
#include "models/programgenerators.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

using namespace ProgramGenerators;
using ProgramFile::exportProgram;
using ProgramFile::importProgram;

namespace {

// A file, what importing it gives (the name "-" for none) or the refusal, whether the export
// of that result is this very file, and whether the schema sees the fault of a refused one.
struct Case
{
    QByteArray tag;
    QByteArray file;
    QString name;
    ProgramText text;
    QString error;
    bool canonical = false;
    bool schemaSees = true;
};

QByteArray docsExample()
{
    QFile doc(QStringLiteral(QB_SOURCE_DIR "/docs/program-files.md"));
    if (!doc.open(QIODevice::ReadOnly))
        return QByteArray();
    static const QRegularExpression block(QStringLiteral("```json\\n(.*?)```"),
                                          QRegularExpression::DotMatchesEverythingOption);
    return block.match(QString::fromUtf8(doc.readAll())).captured(1).toUtf8();
}

// A file around the given line objects, or around program text.
QByteArray file(const QByteArray &lines, const QByteArray &name = "\"T\"")
{
    return R"({"format": "qb-timer-program", "version": 1, "name": )" + name + R"(, "lines": [)" +
           lines + "]}";
}

QByteArray textFile(const QString &text, const QByteArray &name = "\"T\"")
{
    return file({}, name).replace("[]", '"' + text.toLatin1() + '"');
}

QVector<Case> cases()
{
    QVector<Case> all;
    const auto taken = [&](const QByteArray &tag, const QByteArray &file, const QString &name,
                           const ProgramText &text, bool canonical = false) {
        all.append({tag, file, name, text, {}, canonical, true});
    };
    // A name longer than a display holds comes back cut as a display cuts it.
    const auto exported = [&](const QByteArray &tag, const QString &name, const ProgramText &text,
                              const QString &kept = QString()) {
        taken(tag, exportProgram(name, text), kept.isNull() ? name : kept, text);
    };
    const auto refused = [&](const QByteArray &tag, const QByteArray &file, const QString &error,
                             bool schemaSees = true) {
        all.append({tag, file, QStringLiteral("-"), {}, error, false, schemaSees});
    };

    taken("example in docs/program-files.md", docsExample(), "Circuit 3x",
          "09000000000000020100000000010100000000002d0000000002"
          "09000000000000020000000000010000000000000f0000000000"
          "0700000200000000000000000009ff8000ff8000070700000000"
          "050000000000012c000000000008000200000000000000000003",
          true);
    taken("the other commands, times in every spelling",
          file(R"({"command":"interval-up","start-time":"0","stop-time":"1m30s",
                         "increment-interval":true},
                        {"command":"count-up","start-time":"1:30","stop-time":"1:02:03","alarm":10},
                        {"command":"count-up-tenths","start-time":90,"stop-time":"2h"},
                        {"command":"count-down-tenths","start-time":"18:12:15"},
                        {"command":"count-up-days","start-time":"0:00","stop-time":"0"},
                        {"command":"count-down-days","start-time":"10s"},
                        {"command":"colour","hours-colour":"User2","hours-rgb":"#0A0b0C",
                         "min-sec-colour":"User3","min-sec-rgb":"#ffffff"},
                        {"command":"repeat","goto":2,"repeats":254,"increment-interval":true},
                        {"command":"end","reset":true,"stop":false})",
               "\"Übung 5\""),
          "Übung 5",
          "02010000000000000000005a00"
          "030000000000005a00000e8b0a"
          "040000000000005a00001c2000"
          "060000000000ffff0000000000"
          "0a000000000000000000000000"
          "0b0000000000000a0000000000"
          "090a0b0cffffff080900000000"
          "070101fe000000000000000000"
          "08000100000000000000000000");
    for (int n = 0; n < ProgramSlots::kPrograms; ++n)
        exported("default program " + QByteArray::number(n), ProgramSlots::defaultName(n),
                 ProgramSlots::defaultText(n));
    exported("tabata 20/10 x8 with alarms", tabataName(20, 10),
             ProgramCodec::stepArrayToText(tabata(20, 10, 8, true)));
    exported("presentation 600/120 in tenths", presentationName(600, 120),
             ProgramCodec::stepArrayToText(presentation(600, 120, 0, false, true)), "Pres:600-12");
    const ProgramText tab = ProgramSlots::defaultText(0);
    taken("program text as lines", textFile(tab, "\"Gym\""), "Gym", tab);
    QByteArray rows = ProgramSlots::defaultText(1).toUpper().toLatin1();
    for (int at = 26 * 6; at > 0; at -= 26)
        rows.insert(at, '\n');
    taken("program text file, upper case, a line a row", rows + '\n', "-",
          ProgramSlots::defaultText(1));

    const QByteArray end = R"({"command": "end"})";
    const QByteArray down = R"({"command": "count-down", "start-time": "1:00"}, )";
    refused("wrong format", R"({"format": "qb-timer-programme", "version": 1})",
            R"(format: "qb-timer-programme" is not "qb-timer-program")");
    refused("version 2", R"({"format": "qb-timer-program", "version": 2})",
            "version: 2 is not a version this program reads (1)");
    refused("unknown field in the file",
            file(end).replace("\"name\"", "\"author\": \"A\", \"name\""),
            "author: not a field of a program file");
    refused("malformed JSON", file(end).chopped(1),
            "malformed JSON at byte 87: unterminated object");
    refused("11 lines", file(down.repeated(10) + end),
            "lines: a program has 1 to 10 lines, not 11");
    refused("goto past the end",
            file(down + down + R"({"command": "repeat", "goto": 12}, )" + down.repeated(6) + end),
            "line 3: goto: 12 is past the last line (10)");
    refused("goto one past the last line",
            file(down + R"({"command": "repeat", "goto": 4}, )" + end),
            "line 2: goto: 4 is past the last line (3)", false);
    taken("goto the last line", file(down + R"({"command": "repeat", "goto": 3}, )" + end), "T",
          "050000000000003c0000000000"
          "07000200000000000000000000"
          "08000000000000000000000000");
    refused("goto the repeat itself", file(down + R"({"command": "repeat", "goto": 2}, )" + end),
            "line 2: goto: 2 is the repeat line itself", false);
    refused("repeat without goto", file(R"({"command": "repeat"}, )" + end),
            "line 1: goto: missing");
    refused("12-byte name", file(end, "\"%2 Übungen!\""),
            R"(name: "%2 Übungen!" is 12 bytes of UTF-8, more than the 11 a display holds)", false);
    refused("control character in the name", file(end, R"("A\nB")"),
            R"(name: "A\nB" holds a control character)");
    refused("name not UTF-8", file(end, "\"Ab\xff\""), "name: not UTF-8 (byte 56)", false);
    refused("command not UTF-8", file("{\"command\": \"e\xe2\x82nd\"}"),
            "line 1: command: not UTF-8 (byte 82)", false);
    refused("field name not UTF-8", file("{\"command\": \"end\", \"st\xc0\xafop\": true}"),
            "line 1: a field's name: not UTF-8 (byte 90)", false);
    refused("program text not UTF-8", "08000000000000000000000000\xed\xa0\x80", "not UTF-8 text",
            false);
    const QByteArray padded = file(end).leftJustified(ProgramFileBytes::kMaxBytes, ' ');
    taken("a file of the most bytes", padded, "T", "08000000000000000000000000");
    refused("a file one byte longer", padded + ' ',
            "more than the 8192 bytes a program file can have", false);
    refused("negative time", file(R"({"command": "count-down", "start-time": "-0:30"}, )" + end),
            R"(line 1: start-time: "-0:30" is negative)");
    refused("time beyond 16 bits",
            file(R"({"command": "count-up", "stop-time": "18:12:16"}, )" + end),
            R"(line 1: stop-time: "18:12:16" is outside 0:00..18:12:15)", false);
    refused("not a duration", file(R"({"command": "count-up", "start-time": "1:75"}, )" + end),
            R"(line 1: start-time: "1:75" is not a duration (90, 1:30, 1:02:03 or 1m30s))");
    refused("unknown command", file(R"({"command": "pause"}, )" + end),
            R"(line 1: command: "pause" is not a command (interval-down, interval-up, count-up, )"
            "count-up-tenths, count-down, count-down-tenths, repeat, end, colour, count-up-days, "
            "count-down-days)");
    refused("field of another command", file(R"({"command": "count-down", "goto": 1}, )" + end),
            "line 1: goto: not a field of count-down lines");
    refused("alarm past 10 s", file(R"({"command": "end", "alarm": 11})"),
            "line 1: alarm: 11 is outside 0..10");
    refused("alarm as text", file(R"({"command": "end", "alarm": "2"})"),
            R"(line 1: alarm: "2" is not a whole number)");
    refused("reset and stop", file(R"({"command": "end", "reset": true, "stop": true})"),
            "line 1: stop: an end line resets or stops, not both");
    refused(
        "unknown colour",
        file(R"({"command": "colour", "hours-colour": "Orange", "min-sec-colour": "Red"}, )" + end),
        "line 1: hours-colour: \"Orange\" is not a colour (Red, Green, Blue, Cyan, Magenta, "
        "Yellow, White, User1, User2, User3)");
    refused("RGB of a named colour",
            file(R"({"command": "colour", "hours-colour": "Red", "hours-rgb": "#ff0000", )"
                 R"("min-sec-colour": "Red"}, )" +
                 end),
            "line 1: hours-rgb: only a user colour takes RGB");
    refused("last line not an end line", file(end + ", " + down.chopped(2)),
            R"(line 2: command: the last line must be "end")", false);
    refused("program text of 11 lines", QByteArray("08").leftJustified(26, '0').repeated(11),
            "lines: a program has 1 to 10 lines, not 11");
    refused("program text of 27 digits", "080000000000000000000000000",
            "lines: 27 hex digits are not whole lines of 26");
    refused("program text with 255 repeats",
            textFile("08000000000000000000000000070000ff000000000000000000"
                     "08000000000000000000000000"),
            "line 2: repeats: 255 is outside 0..254", false);
    return all;
}

} // namespace

// Programs as files: what a file gives or why it is refused, exports read back byte for byte,
// and the schema in docs/ judging the files as the reader does.
class TestProgramFile : public QObject
{
    Q_OBJECT
private slots:
    void importFile_data();
    void importFile();
    void schemaAgrees();
    void shownLine_data();
    void shownLine();
};

void TestProgramFile::importFile_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("error");
    QTest::addColumn<bool>("canonical");
    for (const Case &c : cases())
        QTest::newRow(c.tag.constData()) << c.file << c.name << c.text << c.error << c.canonical;
}

void TestProgramFile::importFile()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QString, error);
    QFETCH(bool, canonical);

    const ProgramFile::Imported imported = importProgram(file);
    QCOMPARE(imported.error, error);
    QCOMPARE(imported.named ? imported.name : QStringLiteral("-"), name);
    QCOMPARE(imported.text, text);
    if (!error.isEmpty())
        return;
    if (canonical)
        QCOMPARE(exportProgram(name, text), file);
    const ProgramFile::Imported again = importProgram(exportProgram(imported.name, text));
    QCOMPARE(again.error, QString());
    QCOMPARE(again.text, text);
}

// Every JSON object of the table through python3-jsonschema: the files taken and those whose
// fault the schema can express are judged alike.
void TestProgramFile::schemaAgrees()
{
    QJsonArray documents;
    QStringList expected;
    for (const Case &c : cases()) {
        const QJsonDocument document = QJsonDocument::fromJson(c.file);
        if (!document.isObject())
            continue;
        documents.append(document.object());
        expected << c.tag + (c.error.isEmpty() || !c.schemaSees ? " valid" : " invalid");
    }
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import json, sys, jsonschema\n"
                                 "schema = json.load(open(sys.argv[1]))\n"
                                 "jsonschema.Draft202012Validator.check_schema(schema)\n"
                                 "check = jsonschema.Draft202012Validator(schema)\n"
                                 "print(json.dumps([check.is_valid(d) for d in json.load("
                                 "sys.stdin)]))\n"),
                  QStringLiteral(QB_SOURCE_DIR "/docs/program.schema.json")});
    python.write(QJsonDocument(documents).toJson());
    python.closeWriteChannel();
    QVERIFY(python.waitForFinished(30000));
    QCOMPARE(python.readAllStandardError(), QByteArray());
    const QJsonArray verdicts = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    QStringList judged;
    for (int k = 0; k < verdicts.size(); ++k)
        judged << expected.at(k).section(QLatin1Char(' '), 0, -2) +
                      (verdicts.at(k).toBool() ? " valid" : " invalid");
    QCOMPARE(judged, expected);
}

// A line as the program's shown lines have it: every field of its command, off or zero too.
void TestProgramFile::shownLine_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("shown");
    QTest::newRow("count-down, alarm off")
        << "050000000000012c0000000000"
        << QByteArray(R"({"command": "count-down", "start-time": "5:00", "stop-time": "0:00",
                          "alarm": 0})");
    QTest::newRow("end with alarm and stop")
        << "08000200000000000000000003"
        << QByteArray(R"({"command": "end", "alarm": 3, "reset": false, "stop": true})");
    QTest::newRow("repeat counted as an interval")
        << "070101fe000000000000000000"
        << QByteArray(R"({"command": "repeat", "goto": 2, "repeats": 254,
                          "increment-interval": true})");
    QTest::newRow("user colours")
        << "090a0b0cffffff080900000000"
        << QByteArray(R"({"command": "colour", "hours-colour": "User2", "hours-rgb": "#0a0b0c",
                          "min-sec-colour": "User3", "min-sec-rgb": "#ffffff"})");
    QTest::newRow("named colours") << "09000000000000020100000000"
                                   << QByteArray(R"({"command": "colour", "hours-colour": "Blue",
                                                     "min-sec-colour": "Green"})");
}

void TestProgramFile::shownLine()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, shown);
    QCOMPARE(ProgramFile::shownLine(ProgramCodec::linesFromText(text).at(0)),
             QJsonDocument::fromJson(shown).object());
}

QTEST_GUILESS_MAIN(TestProgramFile)
#include "tst_programfile.moc"
