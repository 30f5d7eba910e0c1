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
    void allOptions();
    void refuses_data();
    void refuses();
};

void TestSimOptions::allOptions()
{
    const ParsedCommandLine parsed =
        parse("--count 4 --first-address 127.255.255.251 --names Hall,,Pool --sub-format 2 "
              "--loss 12.5 --seed 77 --delay 40 --silent 1,3 --log /tmp/x.jsonl --view "
              "--no-broadcast");
    QCOMPARE(parsed.status, ParseStatus::Run);
    const SimOptions &options = parsed.options;
    QCOMPARE(options.count, 4);
    // The last display sits right below the broadcast address; missing names are filled in.
    QCOMPARE(options.displayAddress(4), QHostAddress(QStringLiteral("127.255.255.254")));
    QCOMPARE(options.names, (QStringList{"Hall", "Timer 2", "Pool", "Timer 4"}));
    QCOMPARE(options.subFormat, 2);
    QCOMPARE(options.lossPercent, 12.5);
    QCOMPARE(options.seed, 77u);
    QCOMPARE(options.delayMs, 40);
    QCOMPARE(options.silent, (QSet<int>{1, 3}));
    QCOMPARE(options.logFile, QStringLiteral("/tmp/x.jsonl"));
    QVERIFY(options.view);
    QVERIFY(!options.broadcast);
}

void TestSimOptions::refuses_data()
{
    QTest::addColumn<QString>("arguments");

    QTest::newRow("private address") << "--first-address 192.168.1.10";
    QTest::newRow("controller's address") << "--first-address 127.0.0.1";
    QTest::newRow("last display on the broadcast address")
        << "--count 5 --first-address 127.255.255.251";
    QTest::newRow("name of 16 characters") << "--names ABCDEFGHIJKLMNOP";
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
