#include "controllerfixture.h"
#include "models/programgenerators.h"

#include <QtTest>

class TestGeneratedPrograms : public QObject
{
    Q_OBJECT
private slots:
    void resetButtons_data();
    void resetButtons();
};

void TestGeneratedPrograms::resetButtons_data()
{
    QTest::addColumn<bool>("tabata");
    QTest::addColumn<bool>("countingUp");
    QTest::addColumn<QStringList>("armed");  // address and the 0xAC header: number and name field
    QTest::addColumn<QVariantList>("shown"); // what updateProgNameCombo told the window
    QTest::addColumn<QString>("lines");

    const QString tabata =
        ProgramCodec::stepArrayToText(ProgramGenerators::tabata(20, 10, 8, true));
    const QString talk =
        ProgramCodec::stepArrayToText(ProgramGenerators::presentation(600, 120, 0, false, false));
    QTest::newRow("tabata") << true << false
                            << QStringList{"127.0.0.2 acd7095461622032302f3130000000",
                                           "127.0.0.4 acd7095461622032302f3130000000"}
                            << QVariantList{9, "Tab 20/10", true} << tabata;
    // The name field keeps 11 characters and its closing NUL.
    QTest::newRow("presentation") << false << false
                                  << QStringList{"127.0.0.2 acd708507265733a3630302d313200",
                                                 "127.0.0.4 acd708507265733a3630302d313200"}
                                  << QVariantList{8, "Pres:600-120", true} << talk;
    QTest::newRow("tabata while counting up")
        << true << true << QStringList() << QVariantList() << QString();
    QTest::newRow("presentation while counting up")
        << false << true << QStringList() << QVariantList() << QString();
}

void TestGeneratedPrograms::resetButtons()
{
    QFETCH(bool, tabata);
    QFETCH(bool, countingUp);

    ControllerFixture::clearStore();
    ControllerFixture f;
    QSignalSpy shown(f.controller.get(), &HandleGui::updateProgNameCombo);
    for (const char *ip : {"127.0.0.2", "127.0.0.3", "127.0.0.4"})
        f.addTimer(QLatin1String(ip));
    f.timers.setSelected(0, true);
    f.timers.setSelected(2, true);
    if (countingUp)
        f.controller->handleCountUpStartButton();
    f.udpTx.clear();

    if (tabata)
        f.controller->handleTabataResetButton(20, 10, 8, true);
    else
        f.controller->handlePresentResetButton(600, 120, 0, false, false);

    QStringList armed;
    for (const QString &packet : f.sent())
        armed << packet.left(packet.indexOf(QLatin1Char(' ')) + 1 + 2 * 15);
    QTEST(armed, "armed");
    QCOMPARE(shown.size(), countingUp ? 0 : 1);
    QTEST(shown.value(0), "shown");
    QTEST(f.programs.toText(), "lines");
}

QTEST_GUILESS_MAIN(TestGeneratedPrograms)

#include "tst_generatedprograms.moc"
