#include "controller/programslots.h"
#include "models/clockarithmetic.h"
#include "models/programcodec.h"
#include "models/programdatamodel.h"
#include "models/programgenerators.h"
#include "models/timerdatamodel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>
#include <algorithm>

using namespace ProgramGenerators;
using Codes = QVector<int>;

namespace {

const QString kEnd = QStringLiteral("08000000000000000000000000");

// A 200-byte image from the hex of its first bytes (spaces for reading only).
QByteArray image(const QByteArray &hex)
{
    return QByteArray::fromHex(hex).leftJustified(ProgramCodec::kStepArraySize, '\0');
}

void row(const char *name, const QString &text, const QByteArray &steps, bool readsBack,
         const QByteArray &modelSteps = QByteArray())
{
    QTest::newRow(name) << text << steps << readsBack << modelSteps;
}

void fill(ProgramDataModel &model, const Codes &codes)
{
    for (int code : codes)
        model.appendLine(ProgramLine::timerLine(quint8(code), 0, 0, 0, 0, 0, 0, 0));
}

Codes codesOf(const ProgramDataModel &model)
{
    Codes codes;
    for (int row = 0; row < model.rowCount(); ++row)
        codes << int(model.getCommand(row));
    return codes;
}

} // namespace

// The models behind the window. The program lines: their stored text and step image, the line
// model that holds them and the programs the Tabata and presentation pages generate. The display
// list: what a row shows and how its copy of the display's clock runs between replies (a reply
// that updates a listed display is followed in tst_handlegui), the clock steps it shares with the
// mirror clock, and the carries of a preset.
class TestModels : public QObject
{
    Q_OBJECT
private slots:
    void fromText_data();
    void fromText();
    void generatedProgram_data();
    void generatedProgram();
    void rowsChangeAtTheTenLineLimit();
    void setData();
    void validateLines();
    void timeString_data();
    void timeString();
    void advance_data();
    void advance();
    void tickTellsOfChangedTimes_data();
    void tickTellsOfChangedTimes();
    void steps_data();
    void steps();
    void normalise();
};

void TestModels::fromText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("steps");
    QTest::addColumn<bool>("readsBack");        // the image gives the text back
    QTest::addColumn<QByteArray>("modelSteps"); // through the model's 16-bit lines, if not alike

    row("single end line", kEnd, "08", true);
    row("65535 seconds", "030000000000ffff0000000102", "03000000 00000000 ffff0000 01000000 02",
        true);
    row("65536 seconds", "05000000000100000001000302", "05000000 00000000 00000100 03000100 02",
        true, "05000000 00000000 00000000 03000000 02");
    row("25 characters", kEnd.left(25), "", false);
    row("27 characters", kEnd + "0", "08", false);
    row("11 lines", kEnd.repeated(11), QByteArray("08").leftJustified(40, '0').repeated(10), false);
    row("repeat count set, none taken", "07010203000000000000000000", "07000000 01020300", true);
    row("colour line ignores its last digits", "09010203040506070809abcdef",
        "09000000 01020304 05060708", false);
    row("upper-case digits", "0A0000000000003C0000000000", "0a000000 00000000 3c", false);
    row("non-hex field reads 0", "030x0102000000-100000002zz", "03000000 00010200 00000000 02",
        false);
    row("command 0 ends the image", "030000000000000a0000000000" + QString(26, '0') + kEnd,
        "03000000 00000000 0a", false);
}

void TestModels::fromText()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, steps);
    QFETCH(bool, readsBack);
    QFETCH(QByteArray, modelSteps);

    const QByteArray whole = image(steps);
    const QByteArray narrow = modelSteps.isEmpty() ? whole : image(modelSteps);
    QCOMPARE(ProgramCodec::textToStepArray(text), whole);
    ProgramDataModel model;
    model.loadFromText(text);
    QCOMPARE(model.toStepArray(), narrow);
    // The model's lines back to text, and an image the display sends read into the model.
    QCOMPARE(ProgramCodec::textToStepArray(model.toText()), narrow);
    model.loadFromStepArray(whole);
    QCOMPARE(model.toStepArray(), narrow);
    if (readsBack)
        QCOMPARE(ProgramCodec::stepArrayToText(whole), text);
}

// The names the pages give these programs are checked where the controller shows and arms them.
void TestModels::generatedProgram_data()
{
    QTest::addColumn<ProgramStepArray>("steps");
    QTest::addColumn<QString>("expectedText");

    QTest::newRow("tabata 20/10 x8 with alarms")
        << tabata(20, 10, 8, true)
        << "09000000000000020100000000010100000000001400000000020900000000000002000000000001000000"
           "0000000a00000000020700000700000000000000000008000000000000000000000002";
    QTest::newRow("tabata once: no jump back")
        << tabata(45, 15, 1, false)
        << "09000000000000020100000000010100000000002d00000000000900000000000002000000000001000000"
           "0000000f00000000000700000000000000000000000008000000000000000000000000";
    QTest::newRow("tabata kount 0 wraps to 255 jumps")
        << tabata(5, 5, 0, false)
        << "09000000000000020100000000010100000000000500000000000900000000000002000000000001000000"
           "000000050000000000070000ff00000000000000000008000000000000000000000000";
    QTest::newRow("presentation 600/120 in tenths, no count-up, no alarm")
        << presentation(600, 120, 0, false, false)
        << "09000000000000010100000000060000000000025800000078000900000000000005050000000006000000"
           "00000078000000000008000000000000000000000000";
    // The stored defaults are what the pages generate.
    QTest::newRow("default program 0") << tabata(60, 15, 4, true) << ProgramSlots::defaultText(0);
    QTest::newRow("default program 1")
        << presentation(300, 60, 1, true, true) << ProgramSlots::defaultText(1);
}

void TestModels::generatedProgram()
{
    QFETCH(ProgramStepArray, steps);
    QFETCH(QString, expectedText);
    QCOMPARE(ProgramCodec::stepArrayToText(steps), expectedText);
    // The whole image, so nothing but zeros follows the program's last step.
    QCOMPARE(steps, ProgramCodec::textToStepArray(expectedText));
}

// Rows change one at a time, each announced for its own row (the tester holds the counts), and
// never beyond ten lines.
void TestModels::rowsChangeAtTheTenLineLimit()
{
    ProgramDataModel model;
    QAbstractItemModelTester tester(&model);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    fill(model, {1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 3});
    model.insertEndLine(0);
    QCOMPARE(codesOf(model), Codes({1, 2, 3, 4, 5, 6, 7, 9, 10, 11}));
    QCOMPARE(inserted.last().mid(1), QVariantList({9, 9}));

    model.removeLine(3);
    model.removeLine(9); // now past the end
    model.removeLine(-1);
    model.insertEndLine(2);
    model.insertEndLine(11);
    QCOMPARE(codesOf(model), Codes({1, 2, 8, 3, 5, 6, 7, 9, 10, 11}));
    QCOMPARE(removed.last().mid(1), QVariantList({3, 3}));
    QCOMPARE(inserted.last().mid(1), QVariantList({2, 2}));

    model.clearLines();
    QCOMPARE(model.getCommand(0), 0u);
    QVERIFY(!model.data(model.index(0), ProgramDataModel::CommandRole).isValid());
    QVERIFY(!model.setSelected(0, true));
    QCOMPARE(model.setRepeatCountAct(0, 1), -1);
}

// Fields keep their widths, names exist for known codes only and colours beyond the named ones
// show their number, the name is read-only and a row past the end takes nothing.
void TestModels::setData()
{
    using M = ProgramDataModel;
    M model;
    QAbstractItemModelTester tester(&model);
    fill(model, {3, 8});
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    const auto set = [&](int row, int role, int value) {
        return model.setData(model.index(row), value, role);
    };
    const auto get = [&](int row, int role) { return model.data(model.index(row), role); };

    QVERIFY(set(0, M::StartSecondsRole, 90000) && set(0, M::StopSecondsRole, 65537));
    QVERIFY(set(0, M::RelayTimeSecRole, 258) && set(1, M::CommandNameRole, 9));
    QVERIFY(set(1, M::ColorIndex2Role, 10) && !set(2, M::CommandRole, 4));
    QCOMPARE(changed.count(), 5);
    QCOMPARE(get(0, M::StartSecondsRole), QVariant(24464));
    QCOMPARE(get(0, M::StopSecondsRole), QVariant(1));
    QCOMPARE(get(0, M::RelayTimeSecRole), QVariant(2));
    QCOMPARE(get(1, M::CommandNameRole), QVariant(QStringLiteral("End Program")));
    QCOMPARE(get(1, M::Color2NameRole), QVariant(QStringLiteral("colour 10")));
    QVERIFY(set(0, M::CommandRole, 12));
    QCOMPARE(get(0, M::CommandNameRole), QVariant());
}

// Lines of unknown codes become end lines at the end, also where two follow each other.
void TestModels::validateLines()
{
    const auto validated = [](const Codes &codes) {
        ProgramDataModel model;
        QAbstractItemModelTester tester(&model);
        fill(model, codes);
        model.validateLines();
        return codesOf(model);
    };
    QCOMPARE(validated({}), Codes{8});
    QCOMPARE(validated({3, 0, 8}), Codes({3, 8, 8}));
    QCOMPARE(validated({10, 11, 8}), Codes({10, 11, 8}));
    QCOMPARE(validated({0, 12, 255, 8}), Codes({8, 8, 8, 8}));
}

void TestModels::timeString_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("subFormat");
    QTest::addColumn<int>("day");
    QTest::addColumn<QString>("expected");

    QTest::newRow("time of day") << 0x00 << 0 << 3 << "02:01:05";
    QTest::newRow("time of day, sub 1, no day") << 0x00 << 1 << 0 << "";
    QTest::newRow("time of day, sub 1, day 3") << 0x00 << 1 << 3 << "3-02:01:05";
    QTest::newRow("time of day, sub 2") << 0x00 << 2 << 3 << "02:01:05.3";
    QTest::newRow("count up, days:hh:mm") << 0xE1 << 0 << 1 << "1-02:01";
    QTest::newRow("count up, tenths with days") << 0xC1 << 0 << 1 << "26:01:05.3";
    QTest::newRow("count down, d-hh:mm:ss") << 0x02 << 0 << 2 << "2-02:01:05";
    QTest::newRow("interval down, number 255") << 0xFF04 << 0 << 0 << "255-01:05";
    QTest::newRow("mode 6") << 0x06 << 0 << 0 << "";
}

void TestModels::timeString()
{
    QFETCH(int, format);
    QFETCH(int, subFormat);
    QFETCH(int, day);
    TimerDataModel model;
    model.addOrUpdateTimer(
        TimerData("T", "10.0.0.1", false, QTime(2, 1, 5, 345), day, format, subFormat));
    QTEST(model.data(model.index(0), TimerDataModel::TimeStringRole).toString(), "expected");
}

void TestModels::advance_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QTime>("time");
    QTest::addColumn<int>("ms");
    QTest::addColumn<QTime>("expectedTime");

    QTest::newRow("time of day always runs") << 0x00 << QTime(10, 0) << 100 << QTime(10, 0, 0, 100);
    QTest::newRow("stopped count up") << 0x01 << QTime(0, 1) << 100 << QTime(0, 1);
    QTest::newRow("running interval up") << 0x43 << QTime(0, 0, 10) << 500 << QTime(0, 0, 10, 500);
    QTest::newRow("count down holds its last tenth")
        << 0x42 << QTime(0, 0, 0, 50) << 100 << QTime(0, 0, 0, 50);
    QTest::newRow("late tick stops at zero") << 0x42 << QTime(0, 0, 0, 150) << 300 << QTime(0, 0);
    QTest::newRow("mode 5 counts down") << 0x45 << QTime(0, 0, 3) << 1000 << QTime(0, 0, 2);
    QTest::newRow("mode 6 does nothing") << 0x46 << QTime(0, 0, 3) << 1000 << QTime(0, 0, 3);
}

void TestModels::advance()
{
    QFETCH(int, format);
    QFETCH(QTime, time);
    QFETCH(int, ms);
    TimerDataModel model;
    model.addOrUpdateTimer(TimerData("T", "10.0.0.1", false, time, 0, format, 0));
    QVERIFY(model.setData(model.index(0), ms, TimerDataModel::AdvanceRole));
    QTEST(model.data(model.index(0), TimerDataModel::TimeRole).toTime(), "expectedTime");
}

// The tick's advance of the whole list tells views of the rows whose shown time changed, as
// TimeStringRole changes, one notification for each run of such rows, and of nothing else.
void TestModels::tickTellsOfChangedTimes_data()
{
    QTest::addColumn<QList<int>>("formats"); // one row each
    QTest::addColumn<QTime>("time");
    QTest::addColumn<int>("day");
    QTest::addColumn<int>("subFormat");
    QTest::addColumn<int>("ms");
    QTest::addColumn<QString>("told"); // "first-last" of each notification

    const auto row = [](const char *tag, QList<int> formats, QTime time, int day, int subFormat,
                        int ms, const char *told) {
        QTest::newRow(tag) << formats << time << day << subFormat << ms << told;
    };
    row("time of day within its second", {0x00}, QTime(9, 30), 0, 0, 900, "");
    row("time of day into the next second", {0x00}, QTime(9, 30, 0, 950), 0, 0, 100, "0-0");
    row("time of day in tenths", {0x00}, QTime(9, 30), 0, 2, 100, "0-0");
    row("time of day, days not shown before midnight", {0x00}, QTime(12, 0, 0, 950), 0, 1, 100, "");
    row("time of day, days shown from midnight on", {0x00}, QTime(23, 59, 59, 950), 0, 1, 100,
        "0-0");
    row("count-up in tenths", {0xC1}, QTime(0, 12, 3, 400), 0, 0, 100, "0-0");
    row("stopped count-up", {0x81}, QTime(0, 12, 3, 400), 0, 0, 100, "");
    row("count-up in days:hh:mm within its minute", {0xE1}, QTime(1, 0), 1, 0, 59000, "");
    row("count-up in days:hh:mm into the next minute", {0xE1}, QTime(1, 0, 59), 1, 0, 1000, "0-0");
    row("count-down within its second", {0x42}, QTime(10, 0, 0, 900), 2, 0, 100, "");
    row("count-down into the second before", {0x42}, QTime(10, 0, 0, 50), 2, 0, 100, "0-0");
    row("count-down held at its last tenth", {0xC2}, QTime(0, 0, 0, 50), 0, 0, 100, "");
    row("interval count-up", {0x0143}, QTime(0, 0, 59, 950), 0, 0, 100, "0-0");
    row("count-up with no text", {0x61}, QTime(0, 0, 59), 0, 0, 1000, "");
    row("runs of changed rows", {0xC1, 0xC1, 0x81, 0xC1, 0x81, 0x81, 0xC1, 0xC1},
        QTime(0, 12, 3, 400), 0, 0, 100, "0-1 3-3 6-7");
    // A negative format: the display missed a command, and its clock stands.
    row("a display that missed a command stands", {0xC1, -0xC1, 0xC1}, QTime(0, 12, 3, 400), 0, 0,
        100, "0-0 2-2");
}

void TestModels::tickTellsOfChangedTimes()
{
    QFETCH(QList<int>, formats);
    QFETCH(QTime, time);
    QFETCH(int, day);
    QFETCH(int, subFormat);
    QFETCH(int, ms);
    TimerDataModel model;
    for (int format : formats) {
        const QString address = QStringLiteral("10.0.0.%1").arg(model.rowCount());
        model.addOrUpdateTimer(TimerData("T", address, false, time, day, qAbs(format), subFormat));
        if (format < 0)
            model.noteMissed(address, QStringLiteral("count-up start"), 1);
    }
    const auto texts = [&model] {
        QStringList texts;
        for (int row = 0; row < model.rowCount(); ++row)
            texts << model.data(model.index(row), TimerDataModel::TimeStringRole).toString();
        return texts;
    };
    const QStringList before = texts();
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    model.advanceClocks(ms);
    QStringList told;
    for (const QList<QVariant> &change : changed) {
        told << QStringLiteral("%1-%2")
                    .arg(change.at(0).toModelIndex().row())
                    .arg(change.at(1).toModelIndex().row());
        QCOMPARE(change.at(2).value<QVector<int>>(), QVector<int>{TimerDataModel::TimeStringRole});
    }
    QTEST(told.join(QLatin1Char(' ')), "told");
    // Exactly the rows told of show another text.
    const QStringList after = texts();
    for (int row = 0; row < model.rowCount(); ++row) {
        const bool toldOf = std::any_of(changed.cbegin(), changed.cend(), [row](const auto &c) {
            return c.at(0).toModelIndex().row() <= row && row <= c.at(1).toModelIndex().row();
        });
        QCOMPARE(after.at(row) != before.at(row), toldOf);
    }
}

void TestModels::steps_data()
{
    QTest::addColumn<QTime>("time");
    QTest::addColumn<int>("days");
    QTest::addColumn<qint64>("ms"); // negative: a step down
    QTest::addColumn<QTime>("expectedTime");
    QTest::addColumn<int>("expectedDays");

    QTest::newRow("up across midnight")
        << QTime(23, 59, 59, 950) << 0 << qint64(100) << QTime(0, 0, 0, 50) << 1;
    QTest::newRow("up three midnights at once")
        << QTime(12, 0) << 2 << qint64(3 * 86400000LL) << QTime(12, 0) << 5;
    QTest::newRow("down across midnight")
        << QTime(0, 0, 0, 50) << 1 << qint64(-100) << QTime(23, 59, 59, 950) << 0;
    QTest::newRow("down past zero")
        << QTime(0, 0, 0, 50) << 0 << qint64(-100) << QTime(23, 59, 59, 950) << -1;
    QTest::newRow("invalid time stays") << QTime(25, 0) << 4 << qint64(1000) << QTime(25, 0) << 4;
}

void TestModels::steps()
{
    QFETCH(QTime, time);
    QFETCH(int, days);
    QFETCH(qint64, ms);
    if (ms > 0)
        ClockArithmetic::stepUp(time, days, ms);
    else
        ClockArithmetic::stepDown(time, days, -ms);
    QTEST(time, "expectedTime");
    QTEST(days, "expectedDays");
}

// Hours, minutes and seconds beyond their range carry into the next field and into days.
void TestModels::normalise()
{
    QTime time;
    int days = -1;
    ClockArithmetic::normalise(0, 24, 0, 0, time, days);
    QCOMPARE(qMakePair(time, days), qMakePair(QTime(0, 0), 1));
    ClockArithmetic::normalise(99, 99, 60, 60, time, days);
    QCOMPARE(qMakePair(time, days), qMakePair(QTime(4, 1), 103));
}

QTEST_GUILESS_MAIN(TestModels)
#include "tst_models.moc"
