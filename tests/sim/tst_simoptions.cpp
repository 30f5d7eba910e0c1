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
    void lastDisplayRightBelowBroadcast();
    void refuses_data();
    void refuses();
};

void TestSimOptions::lastDisplayRightBelowBroadcast()
{
    // Every other option is given by the end-to-end and loopback tests.
    const ParsedCommandLine parsed = parse("--count 4 --first-address 127.255.255.251");
    QCOMPARE(parsed.status, ParseStatus::Run);
    QCOMPARE(parsed.options.displayAddress(4), QHostAddress(QStringLiteral("127.255.255.254")));
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
