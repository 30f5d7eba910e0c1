#pragma once

#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <vector>

// A settings folder of the run's own: XDG_CONFIG_HOME points into a temporary folder that goes
// away with this object, so a benchmark never reads or writes the operator's settings. Create it
// before the first QSettings of the process.
class ScratchConfig
{
public:
    ScratchConfig();
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

// Count, mean, least and greatest of a set of samples.
struct Summary
{
    int count = 0;
    double mean = 0;
    double min = 0;
    double max = 0;
};

Summary summarise(const std::vector<double> &samples);

// The value below which the given fraction of the samples lie (nearest rank).
double percentile(std::vector<double> samples, double fraction);

// "n=… mean=… min=… max=…" with the unit after each figure.
QString describe(const Summary &summary, const QString &unit);

// CLOCK_MONOTONIC in milliseconds with fraction: the clock of QElapsedTimer and of the
// simulator's log, so readings of both processes differ by a constant.
double monotonicMs();

// Runs the event loop until done() holds or timeoutMs have passed; false on timeout.
bool processEventsUntil(const std::function<bool()> &done, int timeoutMs);
