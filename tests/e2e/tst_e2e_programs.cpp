#include "appundertest.h"
#include "simharness.h"
#include "windowoperator.h"

#include <QSettings>
#include <QtTest>

// Programs through the window and the simulator: all ten uploaded to two selected displays and
// read back into an application that starts with no settings at all.
namespace {

const QStringList kAddresses = {"127.0.0.2", "127.0.0.3"};

QSettings controllerStore()
{
    return QSettings(QStringLiteral("Quillbrook Inc"), QStringLiteral("QB-Timer"));
}

} // namespace

class TestE2ePrograms : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void saveAllThenGetAllIntoAFreshApplication();

private:
    bool startAppWithSelected(int display);

    SimHarness m_sim{QStringLiteral(QB_SIM_EXECUTABLE)};
    std::unique_ptr<AppUnderTest> m_app;
    std::unique_ptr<WindowOperator> m_operator;
};

void TestE2ePrograms::initTestCase()
{
    SimHarness::Options options;
    options.count = 2;
    QVERIFY2(m_sim.start(options), qPrintable(m_sim.errorString()));
}

void TestE2ePrograms::cleanupTestCase()
{
    m_operator.reset();
    m_app.reset();
    m_sim.stop();
}

// Starts the application, waits for discovery to list both displays and taps the given ones.
bool TestE2ePrograms::startAppWithSelected(int display)
{
    m_operator.reset();
    m_app = std::make_unique<AppUnderTest>();
    m_operator = std::make_unique<WindowOperator>(m_app->window());
    if (!QTest::qWaitFor([this] { return m_operator->rows().size() == 2; }, 5000))
        return false;
    for (int k = 1; k <= 2; ++k) {
        if ((display == 0 || display == k) &&
            !m_operator->tap(m_operator->rowOf(kAddresses.at(k - 1)).card))
            return false;
    }
    return m_app->waitUntilLinkIdle();
}

void TestE2ePrograms::saveAllThenGetAllIntoAFreshApplication()
{
    // Ten different programs; the last name is longer than the name field and not ASCII, so the
    // displays keep its first 11 bytes, cut before the character that would not fit whole.
    AppUnderTest::forgetStoredSettings();
    QStringList texts;
    QStringList names;
    for (int n = 0; n < 10; ++n) {
        // A colour line, a count down from n minutes and 5 seconds to n seconds, a repeat and
        // the end line.
        texts << QString::asprintf("09000000000000%02x0100000000"
                                   "05000000%08x%08x00"
                                   "07000003000000000000000000"
                                   "08000000000000000000000002",
                                   n, n * 60 + 5, n);
        names << QStringLiteral("Program %1").arg(n);
        controllerStore().setValue(QStringLiteral("Program%1").arg(n), texts.last());
        controllerStore().setValue(QStringLiteral("ProgramName%1").arg(n), names.last());
    }
    controllerStore().setValue(QStringLiteral("ProgramName9"), QStringLiteral("Zürich Halle 9"));
    names[9] = QStringLiteral("Zürich Hal");

    QVERIFY(startAppWithSelected(0));
    int mark = m_sim.mark();
    QVERIFY(m_operator->chooseFromDrawer(QStringLiteral(" Save All Programs")));
    QVERIFY(m_app->waitUntilLinkIdle());
    for (int display = 1; display <= 2; ++display) {
        QStringList heard;
        for (const QString &hex : SimHarness::hexOf(m_sim.received(display, mark)))
            heard << hex.left(5);
        QCOMPARE(heard, QStringList({"B3 00", "B3 01", "B3 02", "B3 03", "B3 04", "B3 05", "B3 06",
                                     "B3 07", "B3 08", "B3 09", "B0"}));
    }

    // A second application with empty settings reads them back from the second display.
    m_app.reset();
    AppUnderTest::forgetStoredSettings();
    QVERIFY(startAppWithSelected(2));
    mark = m_sim.mark();
    QVERIFY(m_operator->chooseFromDrawer(QStringLiteral(" Get All Programs")));
    QVERIFY(m_app->waitUntilLinkIdle());
    QCOMPARE(m_sim.received(1, mark).size(), 0);
    QCOMPARE(m_sim.received(2, mark).size(), 10);
    for (int n = 0; n < 10; ++n) {
        QCOMPARE(controllerStore().value(QStringLiteral("Program%1").arg(n)).toString(),
                 texts.at(n));
        QCOMPARE(controllerStore().value(QStringLiteral("ProgramName%1").arg(n)).toString(),
                 names.at(n));
    }
}

QTEST_MAIN(TestE2ePrograms)
#include "tst_e2e_programs.moc"
