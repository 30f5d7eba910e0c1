// Cost of one controller tick against the number of listed displays, and proof that the tick
// leaves the stored display list alone unless an address changed.

#include "app/handlegui.h"
#include "models/programdatamodel.h"
#include "models/timerdatamodel.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <benchmark/benchmark.h>
#include <sys/stat.h>

namespace {

constexpr int kTickMs = 100;
constexpr int kNoPoll = 1 << 20; // refresh period in seconds that no benchmark reaches

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

// A controller on a clock that moves 100 ms per tick, with n listed displays and the mirror
// counting up. The rows are listed before the controller exists, so filling the list costs no
// store writes; the first tick stores the list once.
class TickBench
{
public:
    explicit TickBench(int displays)
    {
        for (int i = 0; i < displays; ++i)
            m_timers.addOrUpdateTimer(sampleDisplay(i));
        m_controller =
            std::make_unique<HandleGui>(m_timers, m_programs, [this] { return m_nowMs; });
        m_controller->handleSetIPParameters(3, 350, kNoPoll);
        m_controller->handleCountUpStartButton(); // nothing is selected: only the mirror starts
        tick();
        flushStore();
    }

    void tick()
    {
        m_nowMs += kTickMs;
        m_controller->qmlTimerTriggered();
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
        return FileVersion::of(storePath());
    }

private:
    static QString storePath()
    {
        return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
               QStringLiteral("/Quillbrook Inc/QB-Timer.conf");
    }

    qint64 m_nowMs = 0;
    bool m_alternate = false;
    TimerDataModel m_timers;
    ProgramDataModel m_programs;
    std::unique_ptr<HandleGui> m_controller;
};

void reportStoreRewrite(benchmark::State &state, TickBench &bench, const FileVersion &before)
{
    state.counters["store_rewritten"] = bench.flushStore() == before ? 0 : 1;
    state.SetComplexityN(state.range(0));
}

void BM_Tick(benchmark::State &state)
{
    TickBench bench(static_cast<int>(state.range(0)));
    const FileVersion before = bench.flushStore();
    for (auto _ : state)
        bench.tick();
    reportStoreRewrite(state, bench, before);
}

void BM_TickAfterAddressChange(benchmark::State &state)
{
    TickBench bench(static_cast<int>(state.range(0)));
    const FileVersion before = bench.flushStore();
    for (auto _ : state) {
        bench.changeFirstAddress();
        bench.tick();
        bench.flushStore();
    }
    reportStoreRewrite(state, bench, before);
}

BENCHMARK(BM_Tick)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TickAfterAddressChange)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

} // namespace
