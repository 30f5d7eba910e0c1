// What one controller tick costs with N displays listed, as the operator's copy pays it: the
// real main window loaded offscreen, its home page's list attached and rendering between ticks,
// with the mirror idle and with it counting up on every page; beside it the display list alone.
// One row in ten is marked as having missed a command, as the delivery bookkeeping marks it.
// Also proof that the ticks leave the stored display list alone unless an address changed.

#include "app/windowwiring.h"
#include "controller/handlegui.h"
#include "link/udpcommthread.h"
#include "models/programdatamodel.h"
#include "models/timerdatamodel.h"

#include "benchsupport.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>
#include <cstdio>
#include <ctime>
#include <memory>
#include <sys/stat.h>

namespace {

constexpr int kTickMs = 100;
constexpr int kWarmUpTicks = 20;
constexpr int kTicks = 600; // a minute of ticks: every running row's text changes 60 times or more
constexpr int kNoPoll = 1 << 20; // refresh period in seconds that no run reaches
constexpr int kFrameMs = 16;     // what the window gets between two ticks to render
constexpr int kAddressChanges = 20;
constexpr int kMissedEvery = 10; // one row in ten marked as having missed a command

// A display as a status reply would list it: a quarter each time of day, running count-up,
// running count-down and stopped count-up, so that every branch of the per-row advance runs.
TimerData sampleDisplay(int i)
{
    const QString address = QStringLiteral("127.1.%1.%2").arg(i / 250).arg(i % 250 + 1);
    const QString name = QStringLiteral("Timer %1").arg(i + 1);
    switch (i % 4) {
    case 0:
        return TimerData(name, address, false, QTime(9, 30), 0, 0x00, 0);
    case 1:
        return TimerData(name, address, false, QTime(0, 12, 3, 400), 0, 0x80 | 0x40 | 1, 0);
    case 2:
        return TimerData(name, address, false, QTime(10, 0), 2, 0x40 | 2, 0);
    default:
        return TimerData(name, address, false, QTime(1, 0), 0, 0x80 | 1, 0);
    }
}

// Identifies one version of the controller's settings file: the store writes a new file and
// renames it into place, so a rewrite shows as a new inode or modification time.
struct FileVersion
{
    ino_t inode = 0;
    timespec modified{};

    static FileVersion of(const QString &path)
    {
        struct stat info
        {
        };
        FileVersion version;
        if (stat(QFile::encodeName(path).constData(), &info) == 0) {
            version.inode = info.st_ino;
            version.modified = info.st_mtim;
        }
        return version;
    }
    bool operator==(const FileVersion &other) const
    {
        return inode == other.inode && modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec;
    }
};

void runEventLoopFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double threadCpuUs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e6 + double(now.tv_nsec) / 1e3;
}

struct TickCost
{
    double wallUs;
    double cpuUs;
};

enum class Setting { ListOnly, WindowMirrorIdle, WindowMirrorCounting };

const char *nameOf(Setting setting)
{
    switch (setting) {
    case Setting::ListOnly:
        return "list only";
    case Setting::WindowMirrorIdle:
        return "window, mirror idle";
    case Setting::WindowMirrorCounting:
        return "window, mirror counting";
    }
    return "";
}

// A controller on a clock that moves 100 ms per tick with n listed displays, and unless the list
// is measured alone, the main window wired to it as main() wires it. The benchmark gives the
// ticks itself: the window's own timer is not connected. The rows are listed before the
// controller exists, so filling the list costs no store writes.
class TickBench
{
public:
    TickBench(int displays, Setting setting)
    {
        // A list stored by an earlier run would be loaded over the sample rows as plain
        // time-of-day rows.
        QSettings(QStringLiteral("Quillbrook Inc"), QStringLiteral("QB-Timer")).clear();
        for (int i = 0; i < displays; ++i)
            m_timers.addOrUpdateTimer(sampleDisplay(i));
        m_controller =
            std::make_unique<HandleGui>(m_timers, m_programs, [this] { return m_nowMs; });
        m_controller->handleSetIPParameters(0, 350, kNoPoll);
        if (setting != Setting::ListOnly) {
            m_engine = std::make_unique<QQmlApplicationEngine>();
            QObject *window = loadMainWindow(*m_engine, m_controller.get(), &m_timers, &m_programs);
            if (!window)
                qFatal("the main window did not load");
            connectWindow(window, m_controller.get());
            QObject::disconnect(window, SIGNAL(timerTriggered()), m_controller.get(),
                                SLOT(qmlTimerTriggered()));
        }
        // Nothing is selected: only the mirror starts.
        if (setting == Setting::WindowMirrorCounting)
            m_controller->handleCountUpStartButton();
        // The window's start-up discovery asks every listed display once; nobody answers.
        processEventsUntil([this] { return m_controller->link().queuedCount() == 0; }, 10000);
        for (int i = 0; i < kWarmUpTicks; ++i)
            tick();
        markHealth();
        flushStore();
    }

    ~TickBench()
    {
        m_engine.reset(); // as in main(): the window goes before the controller
        m_controller.reset();
    }

    // One tick on a clock 100 ms on, then what the window does until the next one; answers the
    // tick's duration in µs, wall and CPU (of this thread: what a busy machine's other work
    // does not add).
    TickCost tick()
    {
        m_nowMs += kTickMs;
        QElapsedTimer took;
        const double cpuBefore = threadCpuUs();
        took.start();
        m_controller->qmlTimerTriggered();
        const TickCost cost{double(took.nsecsElapsed()) / 1e3, threadCpuUs() - cpuBefore};
        if (m_engine)
            runEventLoopFor(kFrameMs);
        else
            QCoreApplication::processEvents();
        return cost;
    }

    int staleRows() const
    {
        int stale = 0;
        for (int row = 0; row < m_timers.rowCount(); ++row)
            stale += m_timers.timerAt(row)->isStale() ? 1 : 0;
        return stale;
    }

    // Moves the first display to another address and back on alternate calls.
    void changeFirstAddress()
    {
        m_alternate = !m_alternate;
        m_timers.setData(m_timers.index(0),
                         m_alternate ? QStringLiteral("127.9.9.9") : sampleDisplay(0).ipaddr,
                         TimerDataModel::IpAddrRole);
    }

    // Lets the store write out what it holds, as the application's event loop would.
    FileVersion flushStore()
    {
        QCoreApplication::processEvents();
        return FileVersion::of(
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
            QStringLiteral("/Quillbrook Inc/QB-Timer.conf"));
    }

private:
    // The unanswered discovery marked every row as having missed its query, so every clock would
    // stand still and the ticks have nothing to advance. Every row answers instead, but one in
    // ten misses a start: those rows are time-of-day and count-down ones, so the rows whose text
    // changes on every tick still do, and the window draws the marks of the others.
    void markHealth()
    {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        for (int row = 0; row < m_timers.rowCount(); ++row) {
            const QString address = m_timers.timerIpAddr(row);
            m_timers.noteAnswer(address, now);
            if (row % kMissedEvery == 0)
                m_timers.noteMissed(address, QStringLiteral("count-down start"), now);
        }
        QCoreApplication::processEvents();
    }

    qint64 m_nowMs = 0;
    bool m_alternate = false;
    TimerDataModel m_timers;
    ProgramDataModel m_programs;
    std::unique_ptr<HandleGui> m_controller;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
};

void measureTicks(int displays, Setting setting)
{
    TickBench bench(displays, setting);
    const FileVersion before = bench.flushStore();
    std::vector<double> wall, cpu;
    for (int i = 0; i < kTicks; ++i) {
        const TickCost cost = bench.tick();
        wall.push_back(cost.wallUs);
        cpu.push_back(cost.cpuUs);
    }
    const bool rewritten = !(bench.flushStore() == before);
    const double p50 = percentile(wall, 0.5);
    std::printf("%-24s %4d displays (%3d marked missed): wall p50 %6.1f  p99 %7.1f  max %8.1f us; "
                "CPU p50 %6.1f  p99 %7.1f  max %8.1f us (%d ticks); %5.2f M rows/s at p50; store "
                "rewritten: %s\n",
                nameOf(setting), displays, bench.staleRows(), p50, percentile(wall, 0.99),
                summarise(wall).max, percentile(cpu, 0.5), percentile(cpu, 0.99),
                summarise(cpu).max, kTicks, displays / p50, rewritten ? "yes" : "no");
    std::fflush(stdout);
}

void measureAddressChanges(int displays)
{
    TickBench bench(displays, Setting::ListOnly);
    std::vector<double> ms;
    int rewrites = 0;
    for (int i = 0; i < kAddressChanges; ++i) {
        const FileVersion before = bench.flushStore();
        QElapsedTimer took;
        took.start();
        bench.changeFirstAddress();
        bench.tick();
        const FileVersion after = bench.flushStore();
        ms.push_back(double(took.nsecsElapsed()) / 1e6);
        rewrites += after == before ? 0 : 1;
    }
    std::printf("%-24s %4d displays: %d address changes, each with a tick and the store's "
                "write: store rewritten %d times, p50 %.2f ms  max %.2f ms\n",
                nameOf(Setting::ListOnly), displays, kAddressChanges, rewrites, percentile(ms, 0.5),
                summarise(ms).max);
}

// The window's store as a first run leaves it, but discovering on loopback, sending each query
// once and never polling.
void seedWindowStore()
{
    QSettings store(QStringLiteral("Quillbrook Inc"), QStringLiteral("QB-Timer2"));
    store.setValue(QStringLiteral("main/mainBroadcastIP"), QStringLiteral("127.255.255.255"));
    store.setValue(QStringLiteral("main/mainRetries"), 0);
    store.setValue(QStringLiteral("main/mainRefresh"), kNoPoll);
}

} // namespace

int main(int argc, char **argv)
{
    const ScratchConfig config;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_QUICK_BACKEND", "software");
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QGuiApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Quillbrook Inc"));
    QCoreApplication::setApplicationName(QStringLiteral("QB-Timer2"));
    seedWindowStore();
    for (const Setting setting :
         {Setting::ListOnly, Setting::WindowMirrorIdle, Setting::WindowMirrorCounting}) {
        for (const int displays : {10, 100, 1000})
            measureTicks(displays, setting);
    }
    measureAddressChanges(1000);
    return 0;
}
