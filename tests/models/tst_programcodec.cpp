#include "models/programcodec.h"
#include "models/programdatamodel.h"

#include <QRandomGenerator>
#include <QtTest>

using Lines = QVector<ProgramLine>;
Q_DECLARE_METATYPE(Lines)

namespace {

const QString kDefault0 = QStringLiteral(
    "09000000000000020100000000010100000000003c000000000209000000000000020000000000010000000000"
    "000f00000000020700000300000000000000000008000000000000000000000002");
const QString kDefault1 = QStringLiteral(
    "09000000000000010100000000050000000000012c0000003c0009000000000000050500000000050000000000"
    "003c0000000000090000000000000000000000000300000000000000000000000208000000000000000000000000");
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

// A 200-byte image from the hex of its first bytes.
ProgramStepArray image(const char *hex)
{
    return QByteArray::fromHex(hex).leftJustified(ProgramCodec::kStepArraySize, '\0');
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
    void text_data();
    void text();
    void stepArray_data();
    void stepArray();
    void stepArrayDecoding_data();
    void stepArrayDecoding();
    void roundTrips();
};

void TestProgramCodec::text_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Lines>("lines");
    QTest::addColumn<bool>("reencodes"); // the lines give the text back exactly

    QTest::newRow("single end line") << kEnd << Lines{ProgramLine::endLine()} << true;
    QTest::newRow("65535 seconds")
        << "030000000000ffff0000000102" << Lines{timer(3, 0, 0, 0, 65535, 1, 2)} << true;
    QTest::newRow("65536 seconds keep 16 bits")
        << "05000000000100000001000300" << Lines{timer(5, 0, 0, 0, 0, 3, 0)} << false;
    QTest::newRow("25 characters") << kEnd.left(25) << Lines{} << false;
    QTest::newRow("27 characters") << kEnd + "0" << Lines{ProgramLine::endLine()} << false;
    QTest::newRow("11 lines") << kEnd.repeated(11) << Lines(10, ProgramLine::endLine()) << false;
    QTest::newRow("colour line ignores its last digits")
        << "09010203040506070809abcdef" << Lines{ProgramLine::colorLine(1, 2, 3, 4, 5, 6, 7, 8)}
        << false;
    QTest::newRow("default program 0") << kDefault0
                                       << Lines{colour(2, 1),
                                                timer(1, 1, 0, 0, 60, 0, 2),
                                                colour(2, 0),
                                                timer(1, 0, 0, 0, 15, 0, 2),
                                                timer(7, 0, 0, 3, 0, 0, 0),
                                                timer(8, 0, 0, 0, 0, 0, 2)}
                                       << true;
    QTest::newRow("default program 1")
        << kDefault1 << Lines{colour(1, 1),          timer(5, 0, 0, 0, 300, 60, 0),
                              colour(5, 5),          timer(5, 0, 0, 0, 60, 0, 0),
                              colour(0, 0),          timer(3, 0, 0, 0, 0, 0, 2),
                              ProgramLine::endLine()}
        << true;
    QTest::newRow("upper-case digits")
        << "0A0000000000003C0000000000" << Lines{timer(10, 0, 0, 0, 60, 0, 0)} << false;
    QTest::newRow("non-hex field reads 0, its neighbours not")
        << "030x0102000000-100000002zz" << Lines{timer(3, 0, 1, 2, 0, 2, 0)} << false;
    QTest::newRow("command 0 and 255 load as they are")
        << "00000000000000000000000000ff000000000000000000000000"
        << Lines{timer(0, 0, 0, 0, 0, 0, 0), timer(255, 0, 0, 0, 0, 0, 0)} << true;
    QTest::newRow("non-Latin characters")
        << QString(26, QChar(0x00e9)) + QString(30, QChar(0x4e2d))
        << Lines{timer(0, 0, 0, 0, 0, 0, 0), timer(0, 0, 0, 0, 0, 0, 0)} << false;
}

void TestProgramCodec::text()
{
    QFETCH(QString, text);
    QFETCH(Lines, lines);
    QFETCH(bool, reencodes);

    QCOMPARE(ProgramCodec::linesFromText(text), lines);
    if (reencodes)
        QCOMPARE(ProgramCodec::textFromLines(lines), text);
}

void TestProgramCodec::stepArray_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<ProgramStepArray>("steps");
    QTest::addColumn<bool>("narrowAlike"); // the model's 16-bit lines give the same image

    QTest::newRow("single end line") << kEnd << image("08") << true;
    QTest::newRow("short text") << kEnd.left(25) << image("") << true;
    QTest::newRow("65536 seconds keep 32 bits") << "05000000000100000001000302"
                                                << image("05000000"
                                                         "00000000"
                                                         "00000100"
                                                         "03000100"
                                                         "02000000")
                                                << false;
    QTest::newRow("repeat count set, none taken") << "07000203000000000000000000" + kEnd
                                                  << image("07000000"
                                                           "00020300"
                                                           "00000000"
                                                           "00000000"
                                                           "00000000"
                                                           "08")
                                                  << true;
    QTest::newRow("colour line") << "09010203040506070809abcdef" + kEnd
                                 << image("09000000"
                                          "01020304"
                                          "05060708"
                                          "00000000"
                                          "00000000"
                                          "08")
                                 << true;
    QTest::newRow("11 lines give 10 steps")
        << kEnd.repeated(11)
        << QByteArray::fromHex(QByteArray("08").leftJustified(40, '0').repeated(10)) << true;
    QTest::newRow("a command-0 line ends the image")
        << "030000000000000a0000000000" + QString(26, '0') + kEnd
        << image("03000000"
                 "00000000"
                 "0a000000")
        << true;
}

void TestProgramCodec::stepArray()
{
    QFETCH(QString, text);
    QFETCH(ProgramStepArray, steps);
    QFETCH(bool, narrowAlike);

    QCOMPARE(ProgramCodec::textToStepArray(text).toHex(), steps.toHex());
    if (narrowAlike)
        QCOMPARE(ProgramCodec::stepArrayFromLines(ProgramCodec::linesFromText(text)).toHex(),
                 steps.toHex());
}

void TestProgramCodec::stepArrayDecoding_data()
{
    QTest::addColumn<ProgramStepArray>("steps");
    QTest::addColumn<QString>("text");
    QTest::addColumn<Lines>("lines");

    QTest::newRow("all zero") << image("") << QString() << Lines{};
    QTest::newRow("repeats taken reach the lines only")
        << image("07000000"
                 "00020305")
        << "07000203000000000000000000" << Lines{ProgramLine::timerLine(7, 0, 2, 3, 5, 0, 0, 0)};
    QTest::newRow("32-bit seconds")
        << image("05000000"
                 "00000000"
                 "00000100"
                 "03000100"
                 "02")
        << "05000000000100000001000302" << Lines{timer(5, 0, 0, 0, 0, 3, 2)};
    QTest::newRow("colour step ignores its tail")
        << image("09000000"
                 "01020304"
                 "05060708"
                 "99999999")
        << "09010203040506070800000000" << Lines{ProgramLine::colorLine(1, 2, 3, 4, 5, 6, 7, 8)};
    QTest::newRow("nothing after a zero step") << image("00000000"
                                                        "00000000"
                                                        "00000000"
                                                        "00000000"
                                                        "00000000"
                                                        "08")
                                               << QString() << Lines{};
    QTest::newRow("short array reads as zero-padded")
        << QByteArray::fromHex("0300000000000000") << "03000000000000000000000000"
        << Lines{timer(3, 0, 0, 0, 0, 0, 0)};
}

void TestProgramCodec::stepArrayDecoding()
{
    QFETCH(ProgramStepArray, steps);
    QFETCH(QString, text);
    QFETCH(Lines, lines);

    QCOMPARE(ProgramCodec::stepArrayToText(steps), text);
    QCOMPARE(ProgramCodec::linesFromStepArray(steps), lines);
}

// Any program of known commands survives text -> image -> text with 32-bit seconds, and
// model -> text -> model with the model's own widths.
void TestProgramCodec::roundTrips()
{
    QRandomGenerator rng(9);
    for (int run = 0; run < 500; ++run) {
        Lines lines;
        ProgramDataModel model;
        const int count = rng.bounded(1, ProgramDataModel::kMaxLines + 1);
        for (int k = 0; k < count; ++k)
            model.appendLine(randomLine(rng));

        const ProgramText text = model.toText();
        ProgramDataModel reloaded;
        reloaded.loadFromText(text);
        QCOMPARE(reloaded.lines(), model.lines());
        QCOMPARE(model.toStepArray(), ProgramCodec::textToStepArray(text));

        ProgramText wide = text;
        for (int k = 0; k < count; ++k) {
            if (!text.midRef(k * 26, 2).startsWith(QLatin1String("09")))
                wide.replace(k * 26 + 8, 8, QString::asprintf("%08x", rng.generate()));
        }
        QCOMPARE(ProgramCodec::stepArrayToText(ProgramCodec::textToStepArray(wide)), wide);
    }
}

QTEST_GUILESS_MAIN(TestProgramCodec)
#include "tst_programcodec.moc"
