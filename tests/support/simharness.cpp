#include "simharness.h"

#include <QDateTime>
#include <QHostAddress>
#include <QJsonDocument>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <iterator>
#include <sys/prctl.h>

namespace {

constexpr int kStopWaitMs = 5000;

QStringList arguments(const SimHarness::Options &options, const QString &logPath)
{
    QStringList args{"--count",         QString::number(options.count),
                     "--first-address", options.firstAddress,
                     "--log",           logPath};
    if (!options.names.isEmpty())
        args << "--names" << options.names.join(',');
    QStringList silent;
    for (int display : options.silent)
        silent << QString::number(display);
    if (!silent.isEmpty())
        args << "--silent" << silent.join(',');
    if (!options.broadcast)
        args << "--no-broadcast";
    return args;
}

} // namespace

QStringList SimHarness::hexOf(const QList<Record> &records)
{
    QStringList hex;
    for (const Record &record : records)
        hex << QString::fromLatin1(record.bytes.toHex(' ').toUpper());
    return hex;
}

void SimHarness::ChildProcess::setupChildProcess()
{
    prctl(PR_SET_PDEATHSIG, SIGTERM);
}

SimHarness::SimHarness(const QString &executable) : m_executable(executable)
{
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

SimHarness::~SimHarness()
{
    stop();
}

bool SimHarness::start(const Options &options, int timeoutMs)
{
    m_options = options;
    m_records.clear();
    m_partialLine.clear();
    m_log.close();
    m_log.setFileName(m_dir.filePath(QStringLiteral("sim.jsonl")));
    QFile::remove(m_log.fileName());
    m_process.start(m_executable, arguments(options, m_log.fileName()));
    if (!m_process.waitForStarted()) {
        m_error = QStringLiteral("%1: %2").arg(m_executable, m_process.errorString());
        return false;
    }
    // The event loop keeps turning meanwhile, for an in-process controller and window.
    const bool bound = QTest::qWaitFor(
        [this] {
            return !records([](const Record &r) {
                        return r.event == QLatin1String("start");
                    }).isEmpty() ||
                   m_process.state() == QProcess::NotRunning;
        },
        timeoutMs);
    if (bound && m_process.state() != QProcess::NotRunning)
        return true;
    m_error = bound ? QStringLiteral("the simulator ended: %1")
                          .arg(QString::fromLocal8Bit(m_process.readAll()).trimmed())
                    : QStringLiteral("the simulator did not bind within %1 ms").arg(timeoutMs);
    stop();
    return false;
}

void SimHarness::stop()
{
    m_process.terminate();
    if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(kStopWaitMs)) {
        m_process.kill();
        m_process.waitForFinished(kStopWaitMs);
    }
    readLog();
}

void SimHarness::readLog()
{
    if (!m_log.isOpen() && !m_log.open(QIODevice::ReadOnly))
        return;
    m_partialLine += m_log.readAll();
    // The simulator writes whole lines, but a read can still land in the middle of one.
    const int complete = m_partialLine.lastIndexOf('\n') + 1;
    for (const QByteArray &line : m_partialLine.left(complete).split('\n')) {
        if (!line.isEmpty())
            m_records.append(parse(QJsonDocument::fromJson(line).object()));
    }
    m_partialLine.remove(0, complete);
}

SimHarness::Record SimHarness::parse(const QJsonObject &line)
{
    Record record;
    record.t = line.value(QLatin1String("t")).toDouble();
    record.wallMs =
        QDateTime::fromString(line.value(QLatin1String("wall")).toString(), Qt::ISODateWithMs)
            .toMSecsSinceEpoch();
    record.display = line.value(QLatin1String("display")).toInt();
    record.dir = line.value(QLatin1String("dir")).toString();
    record.event = line.value(QLatin1String("event")).toString();
    record.from = line.value(QLatin1String("from")).toString();
    record.to = line.value(QLatin1String("to")).toString();
    record.bytes = QByteArray::fromHex(line.value(QLatin1String("hex")).toString().toLatin1());
    record.line = line;
    return record;
}

int SimHarness::mark()
{
    readLog();
    return m_records.size();
}

QList<SimHarness::Record> SimHarness::records(const std::function<bool(const Record &)> &wanted,
                                              int since)
{
    readLog();
    QList<Record> found;
    std::copy_if(m_records.cbegin() + qBound(0, since, m_records.size()), m_records.cend(),
                 std::back_inserter(found), wanted);
    return found;
}

QList<SimHarness::Record> SimHarness::received(int display, int since)
{
    return records([display](const Record &r) { return r.display == display && r.dir == "rx"; },
                   since);
}

QList<SimHarness::Record> SimHarness::sent(int display, int since)
{
    return records([display](const Record &r) { return r.display == display && r.dir == "tx"; },
                   since);
}

QList<SimHarness::Record> SimHarness::unicastReceived(int display, int since)
{
    const QHostAddress first(m_options.firstAddress);
    const QString own = QHostAddress(first.toIPv4Address() + display - 1).toString() + ":7372";
    return records(
        [display, &own](const Record &r) {
            return r.display == display && r.dir == "rx" && r.to == own;
        },
        since);
}
