#include "app/programslots.h"
#include "models/programgenerators.h"

#include <QtTest>

using namespace ProgramGenerators;

class TestProgramGenerators : public QObject
{
    Q_OBJECT
private slots:
    void generatedProgram_data();
    void generatedProgram();
};

void TestProgramGenerators::generatedProgram_data()
{
    QTest::addColumn<ProgramStepArray>("steps");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expectedText");
    QTest::addColumn<QString>("expectedName");

    QTest::newRow("tabata 20/10 x8 with alarms")
        << tabata(20, 10, 8, true) << tabataName(20, 10)
        << "09000000000000020100000000010100000000001400000000020900000000000002000000000001000000"
           "0000000a00000000020700000700000000000000000008000000000000000000000002"
        << "Tab 20/10";
    QTest::newRow("tabata once: no jump back")
        << tabata(45, 15, 1, false) << tabataName(45, 15)
        << "09000000000000020100000000010100000000002d00000000000900000000000002000000000001000000"
           "0000000f00000000000700000000000000000000000008000000000000000000000000"
        << "Tab 45/15";
    QTest::newRow("tabata kount 0 wraps to 255 jumps")
        << tabata(5, 5, 0, false) << tabataName(5, 5)
        << "09000000000000020100000000010100000000000500000000000900000000000002000000000001000000"
           "000000050000000000070000ff00000000000000000008000000000000000000000000"
        << "Tab 5/5";
    QTest::newRow("presentation 600/120 in tenths, no count-up, no alarm")
        << presentation(600, 120, 0, false, false) << presentationName(600, 120)
        << "09000000000000010100000000060000000000025800000078000900000000000005050000000006000000"
           "00000078000000000008000000000000000000000000"
        << "Pres:600-120";
    // The stored defaults are what the pages generate.
    QTest::newRow("default program 0")
        << tabata(60, 15, 4, true) << tabataName(60, 15) << ProgramSlots::defaultText(0)
        << ProgramSlots::defaultName(0);
    QTest::newRow("default program 1")
        << presentation(300, 60, 1, true, true) << presentationName(300, 60)
        << ProgramSlots::defaultText(1) << ProgramSlots::defaultName(1);
}

void TestProgramGenerators::generatedProgram()
{
    QFETCH(ProgramStepArray, steps);
    QFETCH(QString, name);
    QFETCH(QString, expectedText);
    QFETCH(QString, expectedName);

    QCOMPARE(ProgramCodec::stepArrayToText(steps), expectedText);
    // The whole image, so nothing but zeros follows the program's last step.
    QCOMPARE(steps, ProgramCodec::textToStepArray(expectedText));
    QCOMPARE(name, expectedName);
}

QTEST_GUILESS_MAIN(TestProgramGenerators)

#include "tst_programgenerators.moc"
