#include "simharness.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <iterator>
#include <sys/prctl.h>

QStringList SimHarness::hexOf(const QList<Record> &records)
{
    QStringList hex;
    for (const Record &record : records)
        hex << QString::fromLatin1(record.bytes.toHex(' ').toUpper());
    return hex;
}

namespace {

void endWithParent()
{
    prctl(PR_SET_PDEATHSIG, SIGTERM);
}

} // namespace

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
void SimHarness::ChildProcess::setupChildProcess()
{
    endWithParent();
}
#endif

SimHarness::SimHarness(const QString &executable) : m_executable(executable)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    m_process.setChildProcessModifier(endWithParent);
#endif
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_log.setFileName(m_dir.filePath(QStringLiteral("sim.jsonl")));
}

bool SimHarness::start(int count, const QStringList &moreArguments, int timeoutMs)
{
    m_process.start(m_executable, QStringList{"--count", QString::number(count), "--first-address",
                                              "127.0.0.2", "--log", m_log.fileName()} +
                                      moreArguments);
    const bool bound =
        m_process.waitForStarted() &&
        QTest::qWaitFor(
            [this] {
                return m_process.state() == QProcess::NotRunning ||
                       !records([](const Record &r) { return r.event == "start"; }).isEmpty();
            },
            timeoutMs);
    if (bound && m_process.state() == QProcess::Running)
        return true;
    m_error = QStringLiteral("%1 did not bind within %2 ms: %3 %4")
                  .arg(m_executable)
                  .arg(timeoutMs)
                  .arg(m_process.errorString(), QString::fromLocal8Bit(m_process.readAll()));
    stop();
    return false;
}

void SimHarness::stop()
{
    m_process.terminate();
    if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
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
    for (const QByteArray &text : m_partialLine.left(complete).split('\n')) {
        if (text.isEmpty())
            continue;
        const QJsonObject line = QJsonDocument::fromJson(text).object();
        const auto field = [&line](const char *key) { return line.value(key).toString(); };
        m_records.append(
            {line.value("t").toDouble(),
             QDateTime::fromString(field("wall"), Qt::ISODateWithMs).toMSecsSinceEpoch(),
             line.value("display").toInt(), field("dir"), field("event"),
             QByteArray::fromHex(field("hex").toLatin1()), line});
    }
    m_partialLine.remove(0, complete);
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
    const QString own = QStringLiteral("127.0.0.%1:7372").arg(display + 1);
    return records(
        [display, &own](const Record &r) {
            return r.display == display && r.dir == "rx" && r.line.value("to") == own;
        },
        since);
}
