#include "models/programcodec.h"
#include "models/programdatamodel.h"

#include <QtTest>

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

} // namespace

class TestProgramCodec : public QObject
{
    Q_OBJECT
private slots:
    void fromText_data();
    void fromText();
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
    row("repeat count set, none taken", "07010203000000000000000000", "07000000 01020300", true);
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

QTEST_GUILESS_MAIN(TestProgramCodec)
#include "tst_programcodec.moc"
