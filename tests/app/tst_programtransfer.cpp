#include "app/programtransfer.h"
#include "programfixture.h"

#include <QtTest>

namespace {

const QString kOpen = ProgramFixture::program(QStringLiteral("C 5:300-60 E0"));
const QString kTabata = ProgramFixture::program(QStringLiteral("C 1+:60-0 C 1:15-0 R0x3 E0"));

// An active-program (0xAF) or program (0xB2) reply; repeatsTaken goes into step 4's byte 7.
QByteArray programReply(quint8 opcode, int number, const QString &name, const QString &program,
                        int repeatsTaken = 0)
{
    QByteArray steps = ProgramCodec::textToStepArray(program);
    steps[4 * ProgramCodec::kStepSize + 7] = char(repeatsTaken);
    QByteArray head(3, '\0');
    head[0] = char(opcode);
    head[2] = char(number);
    return head + Protocol::programNameField(name) + steps;
}

} // namespace

class TestProgramTransfer : public QObject
{
    Q_OBJECT
private slots:
    void transfer_data();
    void transfer();
};

// Rows 0 and 2 of three displays are selected and program 0 is open with kOpen. Script steps:
// "get-active", "get-all", "save-all", "save", "reply", "open<n>" (program n is the open one),
// "unselect" (no display selected). Afterwards: the open program, what the window was told, the
// model's lines (with the repeats taken), and every key written to the store.
void TestProgramTransfer::transfer_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<QString>("after");

    QTest::newRow("get active: to row 0, the open program stored first")
        << "get-active" << QByteArray() << "2:af"
        << "cur 0|model " + kOpen + "|Program0=" + kOpen + "|ProgramName0=Tab 60/15";
    QTest::newRow("get all: ten requests to row 0")
        << "get-all" << QByteArray()
        << "2:b200 2:b201@50+0 2:b202@100+0 2:b203@150+0 2:b204@200+0 2:b205@250+0 "
           "2:b206@300+0 2:b207@350+0 2:b208@400+0 2:b209@450+0"
        << "cur 0|model " + kOpen;
    QTest::newRow("save all: ten uploads and a save to rows 0 and 2, in order")
        << "save-all" << QByteArray()
        << "2:b30054 4:b30054 2:b30150@50+0 4:b30150@50+0 2:b30250@100+0 4:b30250@100+0 "
           "2:b30350@150+0 4:b30350@150+0 2:b30450@200+0 4:b30450@200+0 2:b30550@250+0 "
           "4:b30550@250+0 2:b30650@300+0 4:b30650@300+0 2:b30750@350+0 4:b30750@350+0 "
           "2:b30850@400+0 4:b30850@400+0 2:b30950@450+0 4:b30950@450+0 2:b0@1000+100 "
           "4:b0@1000+100"
        << "cur 0|model " + kOpen;
    QTest::newRow("save, and nothing selected: nothing sent, the open program still stored")
        << "save unselect get-active get-all save-all save" << QByteArray() << "2:b0 4:b0"
        << "cur 0|model " + kOpen + "|Program0=" + kOpen + "|ProgramName0=Tab 60/15";
    QTest::newRow("active program 7: shown, loaded with its repeats taken, stored")
        << "reply" << programReply(0xAF, 7, "Hall", kTabata, 2) << ""
        << "cur 7|combo 7 Hall 1|model " + kTabata + " act2|Program7=" + kTabata +
               "|ProgramName7=Hall";
    QTest::newRow("active program reply of a display without one is ignored")
        << "reply" << programReply(0xAF, 7, "Hall", QString()) << ""
        << "cur 0|model " + kOpen;
    QTest::newRow("program 4 while 2 is open: slot, store and name only")
        << "open2 reply" << programReply(0xB2, 4, "Gym", kTabata, 2) << ""
        << "cur 2|combo 4 Gym 0|model " + kOpen + "|Program4=" + kTabata + "|ProgramName4=Gym";
    QTest::newRow("the open program: shown and reloaded from its text")
        << "reply" << programReply(0xB2, 0, "Gym", kTabata, 2) << ""
        << "cur 0|combo 0 Gym 1|model " + kTabata + " act0|Program0=" + kTabata +
               "|ProgramName0=Gym";
    QTest::newRow("the open program with no lines: stored empty")
        << "reply" << programReply(0xB2, 0, "", QString()) << ""
        << "cur 0|combo 0  1|model |Program0=|ProgramName0=";
}

void TestProgramTransfer::transfer()
{
    QFETCH(QString, script);
    QFETCH(QByteArray, reply);

    ProgramFixture f;
    f.lines.loadFromText(kOpen);
    ProgramTransfer transfer(f.lines, f.programSlots, f.sender);
    QStringList told;
    connect(&transfer, &ProgramTransfer::programNameChanged,
            [&](int index, const QString &name, bool show) {
                told << QStringLiteral("combo %1 %2 %3").arg(index).arg(name).arg(show);
            });

    for (const QString &step : script.split(QLatin1Char(' '))) {
        if (step == QLatin1String("get-active"))
            transfer.getActiveProgram();
        else if (step == QLatin1String("get-all"))
            transfer.getAllPrograms();
        else if (step == QLatin1String("save-all"))
            transfer.saveAllPrograms();
        else if (step == QLatin1String("save"))
            transfer.saveOnDisplays();
        else if (step == QLatin1String("unselect")) {
            f.timers.setSelected(0, false);
            f.timers.setSelected(2, false);
        } else if (step.startsWith(QLatin1String("open"))) {
            f.programSlots.setCurrentProgram(step.mid(4).toInt());
        } else if (reply.at(0) == char(0xAF)) {
            transfer.applyActiveProgram(reply);
        } else {
            transfer.applyProgram(reply);
        }
    }

    QString model = QStringLiteral("model ") + f.lines.toText();
    for (const ProgramLine &line : f.lines.lines()) {
        if (line.command == TC_REPEAT)
            model += QStringLiteral(" act%1").arg(line.repeatcountact);
    }
    QStringList after{QStringLiteral("cur %1").arg(f.programSlots.currentProgram())};
    after << told << model;
    for (const QString &key : f.store.allKeys())
        after << key + QLatin1Char('=') + f.store.value(key).toString();
    QTEST(f.sent.join(QLatin1Char(' ')), "sent");
    QTEST(after.join(QLatin1Char('|')), "after");
}

QTEST_GUILESS_MAIN(TestProgramTransfer)
#include "tst_programtransfer.moc"
