#include "simoptions.h"

#include <QtTest>

// The simulator lives on loopback only: options that would put a display elsewhere, or on the
// controller's or the broadcast address, are refused. Its wire side is exercised end to end.
using namespace qbsim;

class TestSimOptions : public QObject
{
    Q_OBJECT

private slots:
    void refuses_data();
    void refuses();
};

void TestSimOptions::refuses_data()
{
    QTest::addColumn<QString>("arguments");
    QTest::newRow("private address") << "--first-address 192.168.1.10";
    QTest::newRow("controller's address") << "--first-address 127.0.0.1";
    QTest::newRow("last display on the broadcast address")
        << "--count 5 --first-address 127.255.255.251";
    QTest::newRow("name of 16 characters") << "--names ABCDEFGHIJKLMNOP";
}

void TestSimOptions::refuses()
{
    QFETCH(QString, arguments);
    const ParsedCommandLine parsed =
        parseCommandLine(QStringList{QStringLiteral("qb-timer-sim")} + arguments.split(' '));
    QCOMPARE(parsed.status, ParseStatus::Error);
    QVERIFY(!parsed.message.isEmpty());
}

QTEST_APPLESS_MAIN(TestSimOptions)
#include "tst_simoptions.moc"
