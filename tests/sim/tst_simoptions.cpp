#include "simoptions.h"

#include <QtTest>

using namespace qbsim;

namespace {

ParsedCommandLine parse(const QString &arguments)
{
    return parseCommandLine(QStringList{QStringLiteral("qb-timer-sim")} +
                            arguments.split(QLatin1Char(' '), Qt::SkipEmptyParts));
}

} // namespace

class TestSimOptions : public QObject
{
    Q_OBJECT

private slots:
    void defaults();
    void allOptions();
    void fillsMissingNames();
    void lastAddressBelowBroadcast();
    void help();
    void refuses_data();
    void refuses();
};

void TestSimOptions::defaults()
{
    const ParsedCommandLine parsed = parse(QString());
    QCOMPARE(parsed.status, ParseStatus::Run);
    const SimOptions &options = parsed.options;
    QCOMPARE(options.count, 4);
    QCOMPARE(options.displayAddress(1), QHostAddress(QStringLiteral("127.0.0.2")));
    QCOMPARE(options.displayAddress(4), QHostAddress(QStringLiteral("127.0.0.5")));
    QCOMPARE(options.names, (QStringList{"Timer 1", "Timer 2", "Timer 3", "Timer 4"}));
    QCOMPARE(options.subFormat, 0);
    QCOMPARE(options.lossPercent, 0.0);
    QCOMPARE(options.delayMs, 0);
    QVERIFY(options.silent.isEmpty());
    QVERIFY(options.logFile.isEmpty());
    QVERIFY(!options.view);
    QVERIFY(options.broadcast);
}

void TestSimOptions::allOptions()
{
    const ParsedCommandLine parsed =
        parse("--count 3 --first-address 127.1.0.250 --names Hall,Gym,Pool --sub-format 2 "
              "--loss 12.5 --seed 77 --delay 40 --silent 1,3 --log /tmp/x.jsonl --view "
              "--no-broadcast");
    QCOMPARE(parsed.status, ParseStatus::Run);
    const SimOptions &options = parsed.options;
    QCOMPARE(options.count, 3);
    QCOMPARE(options.displayAddress(3), QHostAddress(QStringLiteral("127.1.0.252")));
    QCOMPARE(options.names, (QStringList{"Hall", "Gym", "Pool"}));
    QCOMPARE(options.subFormat, 2);
    QCOMPARE(options.lossPercent, 12.5);
    QCOMPARE(options.seed, 77u);
    QCOMPARE(options.delayMs, 40);
    QCOMPARE(options.silent, (QSet<int>{1, 3}));
    QCOMPARE(options.logFile, QStringLiteral("/tmp/x.jsonl"));
    QVERIFY(options.view);
    QVERIFY(!options.broadcast);
}

void TestSimOptions::fillsMissingNames()
{
    const ParsedCommandLine parsed = parse("--count 4 --names A,,C");
    QCOMPARE(parsed.status, ParseStatus::Run);
    QCOMPARE(parsed.options.names, (QStringList{"A", "Timer 2", "C", "Timer 4"}));
}

void TestSimOptions::lastAddressBelowBroadcast()
{
    const ParsedCommandLine parsed = parse("--count 4 --first-address 127.255.255.251");
    QCOMPARE(parsed.status, ParseStatus::Run);
    QCOMPARE(parsed.options.displayAddress(4), QHostAddress(QStringLiteral("127.255.255.254")));
}

void TestSimOptions::help()
{
    const ParsedCommandLine parsed = parse("--help");
    QCOMPARE(parsed.status, ParseStatus::Help);
    QVERIFY(parsed.message.contains(QLatin1String("--first-address")));
}

void TestSimOptions::refuses_data()
{
    QTest::addColumn<QString>("arguments");

    QTest::newRow("private address") << "--first-address 192.168.1.10";
    QTest::newRow("other network") << "--first-address 10.0.0.1";
    QTest::newRow("controller's address") << "--first-address 127.0.0.1";
    QTest::newRow("network address") << "--first-address 127.0.0.0";
    QTest::newRow("last display on the broadcast address")
        << "--count 5 --first-address 127.255.255.251";
    QTest::newRow("IPv6") << "--first-address ::1";
    QTest::newRow("not an address") << "--first-address display";
    QTest::newRow("no displays") << "--count 0";
    QTest::newRow("count not a number") << "--count many";
    QTest::newRow("more names than displays") << "--count 2 --names A,B,C";
    QTest::newRow("name of 16 characters") << "--names ABCDEFGHIJKLMNOP";
    QTest::newRow("name beyond Latin-1") << QStringLiteral("--names \u03a9mega");
    QTest::newRow("silent display out of range") << "--count 4 --silent 2,5";
    QTest::newRow("silent not a number") << "--silent x";
    QTest::newRow("loss above 100") << "--loss 101";
    QTest::newRow("negative delay") << "--delay -1";
    QTest::newRow("negative seed") << "--seed -3";
    QTest::newRow("sub-format 32") << "--sub-format 32";
    QTest::newRow("positional argument") << "extra";
    QTest::newRow("unknown option") << "--bogus";
}

void TestSimOptions::refuses()
{
    QFETCH(QString, arguments);
    const ParsedCommandLine parsed = parse(arguments);
    QCOMPARE(parsed.status, ParseStatus::Error);
    QVERIFY(!parsed.message.isEmpty());
}

QTEST_GUILESS_MAIN(TestSimOptions)
#include "tst_simoptions.moc"
