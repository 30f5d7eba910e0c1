#include "appundertest.h"
#include "simharness.h"
#include "windowoperator.h"

#include <QDateTime>
#include <QGuiApplication>
#include <QQuickWindow>
#include <QSettings>
#include <QtTest>

// Programs through the window and the simulator: a line edited through the program page and its
// editor dialog, found again after a restart; all ten uploaded to two selected displays and
// read back into an application that starts with no settings at all, and a program run from the
// program page on a display and in the window's mirror together.
namespace {

const QStringList kAddresses = {"127.0.0.2", "127.0.0.3"};

QSettings controllerStore()
{
    return QSettings(QStringLiteral("Quillbrook Inc"), QStringLiteral("QB-Timer"));
}

// The first default program, "Tab 60/15": six lines, the fifth repeats from the first three times.
const QString kRepeatLine = QStringLiteral("Goto Step: 1  Repeats: %1");
constexpr int kRepeatRow = 4;

// The editor dialog opens in a window of its own.
QQuickWindow *shownDialog(const QQuickWindow *mainWindow)
{
    for (QWindow *window : QGuiApplication::topLevelWindows()) {
        auto *quickWindow = qobject_cast<QQuickWindow *>(window);
        if (quickWindow && quickWindow != mainWindow && quickWindow->isVisible())
            return quickWindow;
    }
    return nullptr;
}

} // namespace

class TestE2ePrograms : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void editedLineSurvivesARestart();
    void saveAllThenGetAllIntoAFreshApplication();
    void programRunsOnTheDisplayAndInTheMirrorTogether();
    void secondApplicationPicksUpTheRunningProgram();

private:
    // Line starts and their wall-clock moments.
    struct LineStarts
    {
        QStringList seen;
        QList<qint64> ms;
        void add(const QString &label, qint64 at = QDateTime::currentMSecsSinceEpoch())
        {
            seen << label;
            ms << at;
        }
    };

    bool startAppWithSelected(int display);
    void watchLineStarts(LineStarts &starts);
    LineStarts lineStartsOnDisplay(int since);
    void startsAgree(const LineStarts &window, int since, int timedFrom);

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

void TestE2ePrograms::editedLineSurvivesARestart()
{
    AppUnderTest::forgetStoredSettings();
    {
        AppUnderTest app;
        QVERIFY(app.isRunning());
        WindowOperator page(app.window());
        QVERIFY(page.chooseFromDrawer(QStringLiteral("Timer Programs")));
        QTRY_VERIFY(page.find(kRepeatLine.arg(3)));
        QVERIFY(page.tap(page.allNamed(QStringLiteral("lineMenuButton")).value(kRepeatRow)));
        QTRY_VERIFY(page.find(QStringLiteral("Edit")));
        QVERIFY(page.tap(QStringLiteral("Edit")));

        QQuickWindow *dialog = nullptr;
        QTRY_VERIFY((dialog = shownDialog(app.window())));
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        WindowOperator editor(dialog);
        QVERIFY(editor.typeInto(editor.fieldBeside(QStringLiteral("Repeat Count:")),
                                QStringLiteral("12")));
        QVERIFY(editor.tap(QStringLiteral("Save")));
        QTRY_VERIFY(!dialog->isVisible());
        QTRY_VERIFY(page.find(kRepeatLine.arg(12)));
    }

    AppUnderTest restarted;
    QVERIFY(restarted.isRunning());
    WindowOperator page(restarted.window());
    QVERIFY(page.chooseFromDrawer(QStringLiteral("Timer Programs")));
    QTRY_VERIFY(page.find(kRepeatLine.arg(12)));
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
        QCOMPARE(heard.join(QLatin1Char(' ')), QStringLiteral("B3 00 B3 01 B3 02 B3 03 B3 04 B3 05 "
                                                              "B3 06 B3 07 B3 08 B3 09 B0"));
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

// Two interval lines of 2 s and 1 s, the first counting the interval, repeated once, then Stop.
// Each time a line starts, on the display and in the window, the interval numbers agree and the
// moments lie within 0.2 s; so do the ends.
void TestE2ePrograms::programRunsOnTheDisplayAndInTheMirrorTogether()
{
    AppUnderTest::forgetStoredSettings();
    controllerStore().setValue(QStringLiteral("Program0"), "01010000000000020000000000"
                                                           "01000000000000010000000000"
                                                           "07000001000000000000000000"
                                                           "08000200000000000000000000");
    QVERIFY(startAppWithSelected(1));
    QVERIFY(m_operator->chooseFromDrawer(QStringLiteral("Timer Programs")));
    QVERIFY(m_app->waitUntilLinkIdle());
    LineStarts window;
    watchLineStarts(window);
    const int mark = m_sim.mark();
    QVERIFY(m_operator->tap(QStringLiteral("Reset")));
    QTRY_COMPARE(window.seen.size(), 1);
    QVERIFY(m_operator->tap(QStringLiteral("Start")));
    QTRY_COMPARE_WITH_TIMEOUT(window.seen.size(), 5, 10000);
    QCOMPARE(window.seen, QStringList({"0 1", "1 1", "0 2", "1 2", "end"}));
    // The first is the arming, before Start.
    startsAgree(window, mark, 1);
}

// A second application started while display 1 runs a program, with no programs of its own,
// takes the program up from the display through "Timer Programs" and from the next line start
// on shows what the display shows. The run-status reply gives whole seconds; the first line, a
// 6 s count down, leaves room for a status poll (about every second here) to bring the mirror in
// line. Status replies of interval lines do not move the mirror, so a program taken up on one
// would stay up to a second ahead.
void TestE2ePrograms::secondApplicationPicksUpTheRunningProgram()
{
    AppUnderTest::forgetStoredSettings();
    controllerStore().setValue(QStringLiteral("Program0"), "05000000000000060000000000"
                                                           "01010000000000020000000000"
                                                           "01000000000000010000000000"
                                                           "07000101000000000000000000"
                                                           "08000200000000000000000000");
    QVERIFY(startAppWithSelected(1));
    QVERIFY(m_operator->chooseFromDrawer(QStringLiteral("Timer Programs")));
    QVERIFY(m_app->waitUntilLinkIdle());
    QVERIFY(m_operator->tap(QStringLiteral("Reset")));
    QVERIFY(m_app->waitUntilLinkIdle());
    QVERIFY(m_operator->tap(QStringLiteral("Start")));
    QVERIFY(m_app->waitUntilLinkIdle());

    m_app.reset();
    AppUnderTest::forgetStoredSettings({{QStringLiteral("main/mainRefresh"), 0}});
    QVERIFY(startAppWithSelected(1));
    LineStarts window;
    watchLineStarts(window);
    const int mark = m_sim.mark();
    QVERIFY(m_operator->chooseFromDrawer(QStringLiteral("Timer Programs")));
    QTRY_COMPARE_WITH_TIMEOUT(window.seen.size(), 6, 15000);
    // Taken up on the first line.
    QCOMPARE(window.seen, QStringList({"0", "1 1", "2 1", "1 2", "2 2", "end"}));
    window.seen.removeFirst();
    window.ms.removeFirst();
    startsAgree(window, mark, 0);
}

// Records in `starts` each timing line the window newly highlights, an interval line with the
// interval number the mirror then shows ("row interval"), and "end" when the program stops.
void TestE2ePrograms::watchLineStarts(LineStarts &starts)
{
    ProgramDataModel &lines = m_app->programs();
    HandleGui *controller = &m_app->controller();
    connect(controller, &HandleGui::updateIntTime, controller, [&starts](const QVariant &shown) {
        // The interval number is written with the line's start time, after the highlight.
        if (!starts.seen.isEmpty() && starts.seen.last().endsWith(QLatin1Char('?')))
            starts.seen.last().replace(QLatin1Char('?'),
                                       shown.toString().section(QLatin1Char('-'), 0, 0));
    });
    connect(&lines, &ProgramDataModel::dataChanged, controller,
            [&starts, &lines](const QModelIndex &index) {
                const int row = index.row();
                const uint command = lines.getCommand(row);
                if (!lines.getSelected(row) || command == TC_REPEAT || command == TC_COLOR ||
                    command == TC_DONE ||
                    starts.seen.value(starts.seen.size() - 1).section(' ', 0, 0) ==
                        QString::number(row))
                    return;
                starts.add(command == TC_INTERVAL_DOWN || command == TC_INTERVAL_UP
                               ? QStringLiteral("%1 ?").arg(row)
                               : QString::number(row));
            });
    connect(controller, &HandleGui::updateProgStartPause, controller,
            [&starts](const QVariant &on) {
                if (!on.toBool() && !starts.seen.isEmpty() && starts.seen.last() != "end")
                    starts.add(QStringLiteral("end"));
            });
}

TestE2ePrograms::LineStarts TestE2ePrograms::lineStartsOnDisplay(int since)
{
    LineStarts starts;
    for (const SimHarness::Record &r : m_sim.records(
             [](const SimHarness::Record &r) {
                 return r.display == 1 && (r.event == QLatin1String("program-end") ||
                                           (r.event == QLatin1String("program-step") &&
                                            r.line.value("command").toString() != "end"));
             },
             since)) {
        const QString row = QString::number(r.line.value("row").toInt());
        if (r.event == QLatin1String("program-end"))
            starts.add(QStringLiteral("end"), r.wallMs);
        else if (r.line.value("command").toString().startsWith(QLatin1String("interval")))
            starts.add(row + ' ' + QString::number(r.line.value("interval").toInt()), r.wallMs);
        else
            starts.add(row, r.wallMs);
    }
    return starts;
}

// The same line starts in the same order; from `timedFrom` on each within 0.2 s.
void TestE2ePrograms::startsAgree(const LineStarts &window, int since, int timedFrom)
{
    LineStarts display;
    // Either side may be the later one.
    QTRY_VERIFY((display = lineStartsOnDisplay(since)).seen.size() >= window.seen.size());
    QCOMPARE(display.seen, window.seen);
    for (int i = timedFrom; i < window.seen.size(); ++i) {
        qInfo("%s: %lld ms", qPrintable(window.seen.at(i)), window.ms.at(i) - display.ms.at(i));
        QVERIFY2(qAbs(window.ms.at(i) - display.ms.at(i)) <= 200,
                 qPrintable(QStringLiteral("%1: %2 ms apart")
                                .arg(window.seen.at(i))
                                .arg(window.ms.at(i) - display.ms.at(i))));
    }
}

QTEST_MAIN(TestE2ePrograms)
#include "tst_e2e_programs.moc"
