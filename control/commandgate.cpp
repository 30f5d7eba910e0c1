#include "control/commandgate.h"

#include "control/commandtable.h"

#include <QThread>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

CommandResult unavailable(const QString &why)
{
    return CommandResult::refused(CommandResult::Status::Unavailable, {}, why);
}

// One command on its way: it runs only if its caller still waits when the controller reaches
// it, and the caller stops waiting only while it has not started.
struct Job
{
    enum class Stage { Waiting, Running, Done, Abandoned };

    std::mutex mutex;
    std::condition_variable done;
    Stage stage = Stage::Waiting;
    CommandResult result;
};

} // namespace

CommandGate::CommandGate(CommandContext &context, QObject *parent)
    : QObject(parent), m_context(context)
{
}

CommandResult CommandGate::call(const QString &name, const QJsonObject &args,
                                std::chrono::milliseconds wait)
{
    if (m_closed)
        return unavailable(QStringLiteral("the controller is shutting down"));
    if (QThread::currentThread() == thread())
        return CommandTable::execute(m_context, name, args);
    if (++m_waiting > kMaxWaiting) {
        --m_waiting;
        return unavailable(QStringLiteral("the controller is busy: try again"));
    }
    auto job = std::make_shared<Job>();
    QMetaObject::invokeMethod(
        this,
        [this, job, name, args] {
            {
                const std::lock_guard<std::mutex> lock(job->mutex);
                if (job->stage == Job::Stage::Abandoned || m_closed)
                    return;
                job->stage = Job::Stage::Running;
            }
            CommandResult result = CommandTable::execute(m_context, name, args);
            {
                const std::lock_guard<std::mutex> lock(job->mutex);
                job->result = std::move(result);
                job->stage = Job::Stage::Done;
            }
            job->done.notify_all();
        },
        Qt::QueuedConnection);

    std::unique_lock<std::mutex> lock(job->mutex);
    job->done.wait_for(lock, wait, [&job] { return job->stage == Job::Stage::Done; });
    // A command the controller has begun is seen through: what it did is what the caller hears.
    job->done.wait(lock, [&job] { return job->stage != Job::Stage::Running; });
    --m_waiting;
    if (job->stage == Job::Stage::Done)
        return job->result;
    job->stage = Job::Stage::Abandoned;
    return unavailable(QStringLiteral("the controller did not answer in time"));
}
