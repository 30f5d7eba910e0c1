#include "control/commandtable.h"
#include "ctlapp.h"
#include "models/duration.h"

#include <QtTest>

// qb-timerctl's own pure parts: the durations an operator types, and that its subcommands send
// exactly the controller's table of commands. Everything else runs end to end
// (tests/e2e/ctl.bats).
class TestCtl : public QObject
{
    Q_OBJECT
private slots:
    void durations_data();
    void durations();
    void subcommandsSendTheTable();
};

void TestCtl::durations_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("takesSign");
    QTest::addColumn<qint64>("seconds"); // -1: refused
    const auto row = [](const char *text, bool takesSign, qint64 seconds) {
        QTest::addRow("%s%s", text, takesSign ? " (signed)" : "")
            << QString::fromUtf8(text) << takesSign << seconds;
    };
    row("90", false, 90);
    row("1:30", false, 90);
    row("1:02:03", false, 3723);
    row("90:00", false, 5400);
    row("1m30s", false, 90);
    row("2h", false, 7200);
    row("2d4h", false, 187200);
    row("2d 04:00:00", false, 187200);
    row("1d 2h 3m 4s", false, 93784);
    row("3D", false, 259200);
    row(" 5:00 ", false, 300);
    row("", false, -1);
    row("1:5", false, -1);
    row("1:75", false, -1);
    row("1:30:", false, -1);
    row("1:02:03:04", false, -1);
    row("30s1m", false, -1);
    row("1.5", false, -1);
    row("5 min", false, -1);
    row("-5", false, -1);
    row("h", false, -1);
    row("+60", true, 60);
    row("-1m", true, -60);
    row("60", true, 60);
    row("--1", true, -1);
}

void TestCtl::durations()
{
    QFETCH(QString, text);
    QFETCH(bool, takesSign);
    QFETCH(qint64, seconds);
    const std::optional<qint64> read =
        takesSign ? Duration::signedSeconds(text) : Duration::seconds(text);
    QCOMPARE(read.value_or(-1), seconds);
}

// Every command of the table has a subcommand, and no subcommand sends a name the table lacks.
void TestCtl::subcommandsSendTheTable()
{
    QStringList table;
    for (const Command &command : CommandTable::commands())
        table << command.name;
    QStringList sent = CtlApp().tableCommands();
    table.sort();
    sent.sort();
    QCOMPARE(sent, table);
}

QTEST_GUILESS_MAIN(TestCtl)
#include "tst_ctl.moc"
