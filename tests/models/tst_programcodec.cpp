#include "app/programslots.h"
#include "models/programcodec.h"
#include "models/programdatamodel.h"

#include <QRandomGenerator>
#include <QtTest>

using Lines = QVector<ProgramLine>;

namespace {

const QString kEnd = QStringLiteral("08000000000000000000000000");

ProgramLine timer(quint8 command, quint8 inc, quint8 gotoline, quint8 repeat, quint16 start,
                  quint16 stop, quint8 relay)
{
    return ProgramLine::timerLine(command, inc, gotoline, repeat, 0, start, stop, relay);
}

ProgramLine colour(quint8 c1, quint8 c2)
{
    return ProgramLine::colorLine(0, 0, 0, 0, 0, 0, c1, c2);
}

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

ProgramLine randomLine(QRandomGenerator &rng)
{
    const auto byte = [&] { return quint8(rng.bounded(256)); };
    const auto command = quint8(rng.bounded(1, 12));
    if (command == TC_COLOR)
        return ProgramLine::colorLine(byte(), byte(), byte(), byte(), byte(), byte(), byte(),
                                      byte());
    return timer(command, byte(), byte(), byte(), quint16(rng.bounded(65536)),
                 quint16(rng.bounded(65536)), byte());
}

} // namespace

class TestProgramCodec : public QObject
{
    Q_OBJECT
private slots:
    void fromText_data();
    void fromText();
    void defaultPrograms();
    void roundTrips();
};

void TestProgramCodec::fromText_data()
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
    row("repeat count set, none taken", "07000203000000000000000000", "07000000 00020300", true);
    row("colour line ignores its last digits", "09010203040506070809abcdef",
        "09000000 01020304 05060708", false);
    row("upper-case digits", "0A0000000000003C0000000000", "0a000000 00000000 3c", false);
    row("non-hex field reads 0", "030x0102000000-100000002zz", "03000000 00010200 00000000 02",
        false);
    row("command 0 ends the image", "030000000000000a0000000000" + QString(26, '0') + kEnd,
        "03000000 00000000 0a", false);
}

void TestProgramCodec::fromText()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, steps);
    QFETCH(bool, readsBack);
    QFETCH(QByteArray, modelSteps);

    const QByteArray whole = image(steps);
    QCOMPARE(ProgramCodec::textToStepArray(text), whole);
    ProgramDataModel model;
    model.loadFromText(text);
    QCOMPARE(model.toStepArray(), modelSteps.isEmpty() ? whole : image(modelSteps));
    if (readsBack)
        QCOMPARE(ProgramCodec::stepArrayToText(whole), text);
}

void TestProgramCodec::defaultPrograms()
{
    const Lines tabata{colour(2, 1),
                       timer(TC_INTERVAL_DOWN, 1, 0, 0, 60, 0, 2),
                       colour(2, 0),
                       timer(TC_INTERVAL_DOWN, 0, 0, 0, 15, 0, 2),
                       timer(TC_REPEAT, 0, 0, 3, 0, 0, 0),
                       timer(TC_DONE, 0, 0, 0, 0, 0, 2)};
    const Lines talk{colour(1, 1),          timer(TC_DOWN_HMS, 0, 0, 0, 300, 60, 0),
                     colour(5, 5),          timer(TC_DOWN_HMS, 0, 0, 0, 60, 0, 0),
                     colour(0, 0),          timer(TC_UP_HMS, 0, 0, 0, 0, 0, 2),
                     ProgramLine::endLine()};
    QCOMPARE(ProgramCodec::textFromLines(tabata), ProgramSlots::defaultText(0));
    QCOMPARE(ProgramCodec::textFromLines(talk), ProgramSlots::defaultText(1));
}

// Any program of known commands survives model -> text -> model and model -> image -> model.
// The 32-bit seconds of the direct conversions are the 65536 row's; the fuzz target replays
// text -> image -> text over its corpus.
void TestProgramCodec::roundTrips()
{
    QRandomGenerator rng(9);
    for (int run = 0; run < 500; ++run) {
        Lines lines;
        const int count = rng.bounded(1, ProgramDataModel::kMaxLines + 1);
        for (int k = 0; k < count; ++k)
            lines.append(randomLine(rng));
        QCOMPARE(ProgramCodec::linesFromText(ProgramCodec::textFromLines(lines)), lines);
        QCOMPARE(ProgramCodec::linesFromStepArray(ProgramCodec::stepArrayFromLines(lines)), lines);
    }
}

QTEST_GUILESS_MAIN(TestProgramCodec)
#include "tst_programcodec.moc"
