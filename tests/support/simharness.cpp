#include "simharness.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QHostAddress>
#include <QJsonDocument>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>

namespace {

constexpr int kStopWaitMs = 5000;

QStringList arguments(const SimHarness::Options &options, const QString &logPath)
{
    QStringList args{QStringLiteral("--count"),         QString::number(options.count),
                     QStringLiteral("--first-address"), options.firstAddress,
                     QStringLiteral("--log"),           logPath};
    if (!options.names.isEmpty())
        args << QStringLiteral("--names") << options.names.join(QLatin1Char(','));
    if (!options.silent.isEmpty()) {
        QStringList numbers;
        for (int display : options.silent)
            numbers << QString::number(display);
        args << QStringLiteral("--silent") << numbers.join(QLatin1Char(','));
    }
    if (!options.broadcast)
        args << QStringLiteral("--no-broadcast");
    return args;
}

// Lets the caller's event loop run for a moment while waiting on another process.
void keepEventsFlowing()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(5);
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
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder for the log");
        return false;
    }
    m_log.close();
    m_log.setFileName(m_dir.filePath(QStringLiteral("sim.jsonl")));
    QFile::remove(m_log.fileName());

    m_process.start(m_executable, arguments(options, m_log.fileName()));
    if (!m_process.waitForStarted()) {
        m_error = QStringLiteral("%1: %2").arg(m_executable, m_process.errorString());
        return false;
    }
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        readLog();
        for (const Record &record : qAsConst(m_records)) {
            if (record.event == QLatin1String("start"))
                return true;
        }
        if (m_process.state() == QProcess::NotRunning) {
            m_error = QStringLiteral("the simulator ended: %1")
                          .arg(QString::fromLocal8Bit(m_process.readAll()).trimmed());
            return false;
        }
        keepEventsFlowing();
    }
    m_error = QStringLiteral("the simulator did not bind within %1 ms").arg(timeoutMs);
    stop();
    return false;
}

void SimHarness::stop()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(kStopWaitMs)) {
            m_process.kill();
            m_process.waitForFinished(kStopWaitMs);
        }
    }
    readLog();
}

void SimHarness::readLog()
{
    if (!m_log.isOpen() && !m_log.open(QIODevice::ReadOnly))
        return;
    m_partialLine += m_log.readAll();
    // The simulator writes whole lines, but a read can still land in the middle of one.
    int lineStart = 0;
    for (int end = m_partialLine.indexOf('\n'); end >= 0;
         end = m_partialLine.indexOf('\n', lineStart)) {
        const QByteArray line = m_partialLine.mid(lineStart, end - lineStart);
        lineStart = end + 1;
        const QJsonDocument json = QJsonDocument::fromJson(line);
        if (json.isObject())
            m_records.append(parse(json.object()));
        else
            qWarning("simulator log: not a JSON object: %s", line.constData());
    }
    m_partialLine.remove(0, lineStart);
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
    for (int i = qMax(0, since); i < m_records.size(); ++i) {
        if (wanted(m_records.at(i)))
            found.append(m_records.at(i));
    }
    return found;
}

QList<SimHarness::Record> SimHarness::received(int display, int since)
{
    return records(
        [display](const Record &r) { return r.display == display && r.dir == QLatin1String("rx"); },
        since);
}

QList<SimHarness::Record> SimHarness::sent(int display, int since)
{
    return records(
        [display](const Record &r) { return r.display == display && r.dir == QLatin1String("tx"); },
        since);
}

QList<SimHarness::Record> SimHarness::unicastReceived(int display, int since)
{
    const quint32 first = QHostAddress(m_options.firstAddress).toIPv4Address();
    const QString own =
        QStringLiteral("%1:7372").arg(QHostAddress(first + quint32(display - 1)).toString());
    return records(
        [display, &own](const Record &r) {
            return r.display == display && r.dir == QLatin1String("rx") && r.to == own;
        },
        since);
}
