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
// it grows. Every display lives on loopback; the controller under test is expected on
// 127.0.0.1:7372.
//
//     SimHarness sim(QStringLiteral(QB_SIM_EXECUTABLE)); // path from the build, see below
//     SimHarness::Options options;
//     options.names = {"Alpha", "Beta"};
//     options.count = 2;
//     QVERIFY2(sim.start(options), qPrintable(sim.errorString()));
//     const int mark = sim.mark();
//     ... let the controller send ...
//     QTRY_COMPARE(sim.unicastReceived(1, mark).size(), 1);
//
// The executable's path comes from the build: give the test target
// target_compile_definitions(<test> PRIVATE QB_SIM_EXECUTABLE="$<TARGET_FILE:qb-timer-sim>")
// and add_dependencies(<test> qb-timer-sim).
//
// Waiting functions keep the calling thread's event loop turning, so an in-process controller
// and window stay alive while the simulator starts.
class SimHarness
{
public:
    struct Options
    {
        int count = 4;
        QString firstAddress = QStringLiteral("127.0.0.2");
        QStringList names;     // display k takes names[k-1]; the simulator names the rest
        QList<int> silent;     // display numbers (from 1) that hear but never answer
        bool broadcast = true; // listen on 127.255.255.255 as well
    };

    // One line of the log.
    struct Record
    {
        double t = 0;      // ms since the simulator opened its log (its own monotonic clock)
        qint64 wallMs = 0; // the same moment as ms since the epoch, to millisecond resolution
        int display = 0;   // from 1; 0 for lines about the whole simulator
        QString dir;       // "rx", "tx" or "lost" for datagrams; empty for events
        QString event;     // what a received datagram asked for, or the clock event
        QString from;      // "a.b.c.d:port"
        QString to;
        QByteArray bytes; // the datagram
        QJsonObject line; // everything the line holds
    };

    // The datagrams as the log writes them: upper-case hex bytes with blanks, "A1 04 B2".
    static QStringList hexOf(const QList<Record> &records);

    explicit SimHarness(const QString &executable);
    ~SimHarness();
    SimHarness(const SimHarness &) = delete;
    SimHarness &operator=(const SimHarness &) = delete;

    // Starts the simulator and waits until every display is bound (its log says "start").
    // False, with errorString() saying why, when it exits or does not get there in time.
    bool start(const Options &options, int timeoutMs = 10000);
    // Asks the simulator to end (SIGTERM), kills it if it does not, and reads the log's tail.
    void stop();
    QString errorString() const { return m_error; }

    // Reads what the log has gained and returns the number of lines read so far: pass it as
    // `since` to look only at what comes later.
    int mark();
    QList<Record> records(const std::function<bool(const Record &)> &wanted, int since = 0);
    // Datagrams display k sent.
    // Datagrams display k received (directly or through the broadcast address) and sent.
    QList<Record> received(int display, int since = 0);
    QList<Record> sent(int display, int since = 0);
    // Those datagrams display k received at its own address rather than the broadcast address.
    QList<Record> unicastReceived(int display, int since = 0);

private:
    // Takes the simulator down with the test, should the test die without cleaning up: a
    // simulator left behind would hold the display addresses.
    class ChildProcess : public QProcess
    {
    protected:
        void setupChildProcess() override;
    };

    void readLog();
    static Record parse(const QJsonObject &line);

    QString m_executable;
    QTemporaryDir m_dir;
    ChildProcess m_process;
    QFile m_log;
    QByteArray m_partialLine;
    QList<Record> m_records;
    Options m_options;
    QString m_error;
};
