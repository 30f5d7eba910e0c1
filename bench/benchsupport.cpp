#include "benchsupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <ctime>
#include <numeric>

ScratchConfig::ScratchConfig()
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path()));
}

Summary summarise(const std::vector<double> &samples)
{
    Summary summary;
    if (samples.empty())
        return summary;
    summary.count = static_cast<int>(samples.size());
    summary.mean = std::accumulate(samples.begin(), samples.end(), 0.0) / summary.count;
    const auto [least, greatest] = std::minmax_element(samples.begin(), samples.end());
    summary.min = *least;
    summary.max = *greatest;
    return summary;
}

double percentile(std::vector<double> samples, double fraction)
{
    if (samples.empty())
        return 0;
    const auto rank = static_cast<size_t>(std::ceil(fraction * double(samples.size())));
    const auto at = samples.begin() + static_cast<std::ptrdiff_t>(std::max<size_t>(rank, 1) - 1);
    std::nth_element(samples.begin(), at, samples.end());
    return *at;
}

QString describe(const Summary &summary, const QString &unit)
{
    return QStringLiteral("n=%1 mean=%2%5 min=%3%5 max=%4%5")
        .arg(summary.count)
        .arg(summary.mean, 0, 'f', 3)
        .arg(summary.min, 0, 'f', 3)
        .arg(summary.max, 0, 'f', 3)
        .arg(unit);
}

double monotonicMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

bool processEventsUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        QThread::usleep(200);
    }
    return true;
}
