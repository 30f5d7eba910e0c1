#include "control/commandgate.h"

#include "control/commandtable.h"

#include <QThread>
#include <condition_variable>

namespace {

CommandResult unavailable(const QString &why)
{
    return CommandResult::refused(CommandResult::Status::Unavailable, {}, why);
}

} // namespace

// One command on its way: it runs only if its caller still waits when the controller reaches
// it, and the caller stops waiting only while it has not started.
struct CommandGate::Job
{
    enum class Stage { Waiting, Running, Done, Abandoned };

    QString name;
    QJsonObject args;
    std::mutex mutex;
    std::condition_variable done;
    Stage stage = Stage::Waiting;
    CommandResult result;
};

CommandGate::CommandGate(CommandContext &context, QObject *parent)
    : QObject(parent), m_context(context)
{
    connect(this, &CommandGate::commandsWaiting, this, &CommandGate::runWaiting,
            Qt::QueuedConnection);
}

CommandResult CommandGate::call(const QString &name, const QJsonObject &args,
                                std::chrono::milliseconds wait)
{
    if (m_closed)
        return unavailable(QStringLiteral("the controller is shutting down"));
    if (QThread::currentThread() == thread())
        return CommandTable::execute(m_context, name, args);
    auto job = std::make_shared<Job>();
    job->name = name;
    job->args = args;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_waiting.size() >= kMaxWaiting)
            return unavailable(QStringLiteral("the controller is busy: try again"));
        m_waiting.push_back(job);
    }
    emit commandsWaiting(QPrivateSignal());

    std::unique_lock<std::mutex> lock(job->mutex);
    job->done.wait_for(lock, wait, [&job] { return job->stage == Job::Stage::Done; });
    // A command the controller has begun is seen through: what it did is what the caller hears
    // (a confirmation ends within Deliveries::kMaxWaitMs).
    job->done.wait(lock, [&job] { return job->stage != Job::Stage::Running; });
    if (job->stage == Job::Stage::Done)
        return job->result;
    job->stage = Job::Stage::Abandoned;
    return unavailable(QStringLiteral("the controller did not answer in time"));
}

void CommandGate::runWaiting()
{
    for (;;) {
        std::shared_ptr<Job> job;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            if (m_waiting.empty())
                return;
            job = std::move(m_waiting.front());
            m_waiting.pop_front();
        }
        {
            const std::lock_guard<std::mutex> lock(job->mutex);
            if (job->stage == Job::Stage::Abandoned || m_closed)
                continue;
            job->stage = Job::Stage::Running;
        }
        // A confirmation ends later, on this thread; the caller waits for it meanwhile.
        CommandTable::execute(m_context, job->name, job->args, [job](CommandResult result) {
            {
                const std::lock_guard<std::mutex> lock(job->mutex);
                job->result = std::move(result);
                job->stage = Job::Stage::Done;
            }
            job->done.notify_all();
        });
    }
}
