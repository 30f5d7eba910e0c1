#pragma once

#include <QByteArray>
#include <QFile>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

// The display simulator (qb-timer-sim) as a child process, with its JSON-lines log read back as
// it grows. Display k listens on 127.0.0.(k+1); the controller under test is expected on
// 127.0.0.1:7372.
//
//     SimHarness sim(QStringLiteral(QB_SIM_EXECUTABLE)); // path from the build, see below
//     QVERIFY2(sim.start(2), qPrintable(sim.errorString()));
//     const int mark = sim.mark();
//     ... let the controller send ...
//     QTRY_COMPARE(sim.received(1, mark).size(), 1);
//
// The executable's path comes from the build: give the target
// target_compile_definitions(<target> PRIVATE QB_SIM_EXECUTABLE="$<TARGET_FILE:qb-timer-sim>")
// and add_dependencies(<target> qb-timer-sim).
//
// Waiting keeps the calling thread's event loop turning, so an in-process controller and window
// stay alive while the simulator starts.
class SimHarness
{
public:
    // One line of the log.
    struct Record
    {
        double t = 0;      // ms since the simulator opened its log (its own monotonic clock)
        qint64 wallMs = 0; // the same moment as ms since the epoch
        int display = 0;   // from 1; 0 for lines about the whole simulator
        QString dir;       // "rx", "tx" or "lost" for datagrams; empty for events
        QString event;     // what a received datagram asked for, or the clock event
        QByteArray bytes;  // the datagram
        QJsonObject line;  // everything the line holds
    };

    // The datagrams as upper-case hex bytes with blanks, "A1 04 B2".
    static QStringList hexOf(const QList<Record> &records);

    explicit SimHarness(const QString &executable);
    ~SimHarness() { stop(); }
    SimHarness(const SimHarness &) = delete;
    SimHarness &operator=(const SimHarness &) = delete;

    // Starts the simulator with `count` displays and any further options of its command line
    // ("--no-broadcast", "--silent 1,2") and waits until they are bound (its log says "start").
    // False, with errorString() saying why, when it exits or does not get there in time.
    bool start(int count, const QStringList &moreArguments = {}, int timeoutMs = 10000);
    // Asks the simulator to end (SIGTERM), kills it if it does not, and reads the log's tail.
    void stop();
    QString errorString() const { return m_error; }

    // The number of log lines so far: pass it as `since` to look only at what comes later.
    int mark();
    QList<Record> records(const std::function<bool(const Record &)> &wanted, int since = 0);
    // The datagrams display k received at its own address (not through the broadcast address).
    QList<Record> received(int display, int since = 0);

private:
    // Takes the simulator down with the test, should the test die without cleaning up: a
    // simulator left behind would hold the display addresses. Qt 6 takes the same step as a
    // modifier given to a plain QProcess.
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    class ChildProcess : public QProcess
    {
    protected:
        void setupChildProcess() override;
    };
#else
    using ChildProcess = QProcess;
#endif

    void readLog();

    QTemporaryDir m_dir;
    QString m_executable;
    ChildProcess m_process;
    QFile m_log;
    QByteArray m_partialLine;
    QList<Record> m_records;
    QString m_error;
};
