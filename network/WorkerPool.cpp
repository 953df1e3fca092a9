// The pool of network worker processes and the conversation that runs one job.
#include "network/WorkerPool.h"

#include <cstring>
#include <sys/socket.h>

namespace {

using WorkerMessages::JobKind;
using WorkerMessages::Reply;
using WorkerMessages::Type;
using Clock = WorkerProcess::Clock;

// Long enough for a worker of an instrumented build on a busy machine to start.
constexpr int kStartSeconds = 20;

Reply failure(NetworkFailure kind, const QString& reason) {
    Reply reply;
    reply.failure = kind;
    reply.reason = reason;
    return reply;
}

} // namespace

WorkerPool::WorkerPool(Settings settings, CredentialGate& gate, std::function<const char*()> password)
    : m_settings(std::move(settings)), m_gate(gate), m_password(std::move(password)),
      m_slots(size_t(std::max(1, m_settings.size))) {}

WorkerPool::~WorkerPool() {
    stop();
    const std::lock_guard lock(m_mutex);
    m_slots.clear();
}

int WorkerPool::deadlineSeconds(JobKind kind, int timeoutSeconds) {
    // The worker's own deadline (NetworkWorker::runJob) and one second for it to say so.
    return (kind == JobKind::Logon ? 2 : 3) * timeoutSeconds + 1;
}

void WorkerPool::stop() {
    const std::lock_guard lock(m_mutex);
    m_stopped = true;
    for (Slot& slot : m_slots) {
        if (!slot.process)
            continue;
        if (slot.busy)
            slot.process->interrupt(); // its runner sees the end and kills it
        else
            slot.process.reset();
    }
    m_freed.notify_all();
}

int WorkerPool::acquire() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_stopped)
            return -1;
        // An idle worker that runs first, then a free place for a new one.
        int free = -1;
        for (size_t i = 0; i < m_slots.size(); ++i) {
            if (m_slots[i].busy)
                continue;
            if (m_slots[i].process && m_slots[i].process->alive()) {
                m_slots[i].busy = true;
                return int(i);
            }
            if (free < 0)
                free = int(i);
        }
        if (free >= 0) {
            m_slots[size_t(free)].busy = true;
            return free;
        }
        m_freed.wait(lock);
    }
}

void WorkerPool::release(int slot, bool keep) {
    std::unique_ptr<WorkerProcess> ended;
    {
        const std::lock_guard lock(m_mutex);
        Slot& s = m_slots[size_t(slot)];
        s.busy = false;
        if (!keep || m_stopped)
            ended = std::move(s.process);
    }
    m_freed.notify_all();
}

Reply WorkerPool::run(const WorkerMessages::Job& job) {
    const int slot = acquire();
    if (slot < 0)
        return failure(NetworkFailure::Stopped, QStringLiteral("the network is being closed"));
    std::unique_ptr<WorkerProcess>* process = nullptr;
    {
        const std::lock_guard lock(m_mutex);
        process = &m_slots[size_t(slot)].process;
    }
    // A worker that ended on its own (idle, or after a job that overran) is only found out
    // when the job cannot be handed to it: then a new one takes the job.
    for (int attempt = 0;; ++attempt) {
        if (!*process || !(*process)->alive()) {
            QString error;
            auto started = WorkerProcess::start(m_settings.launch,
                                                Clock::now() + std::chrono::seconds(kStartSeconds), &error);
            const std::lock_guard lock(m_mutex);
            if (!started) {
                m_slots[size_t(slot)].busy = false;
                m_freed.notify_all();
                return failure(NetworkFailure::Other, error);
            }
            *process = std::move(started);
        }
        if ((*process)->send(Type::Job, WorkerMessages::encode(job)) || attempt > 0 || m_stopped)
            break;
        (*process)->kill();
    }
    Reply reply = converse(**process, job);
    release(slot, (*process)->alive());
    return reply;
}

Reply WorkerPool::converse(WorkerProcess& process, const WorkerMessages::Job& job) {
    const auto budget = std::chrono::seconds(deadlineSeconds(job.kind, m_settings.timeoutSeconds));
    if (!process.alive())
        return failure(NetworkFailure::Other, QStringLiteral("the network worker stopped"));
    bool deciding = false;
    auto deadline = Clock::now() + budget;
    Reply reply;
    for (;;) {
        Type type = Type::Reply;
        QByteArray payload;
        const WorkerProcess::Wait got = process.receive(&type, &payload, deadline);
        if (got == WorkerProcess::Wait::Deadline) {
            process.kill();
            reply = failure(NetworkFailure::TimedOut,
                            QStringLiteral("no answer within %1 s").arg(budget.count() - 1));
            break;
        }
        if (got == WorkerProcess::Wait::Closed) {
            process.kill();
            reply = m_stopped
                        ? failure(NetworkFailure::Stopped, QStringLiteral("the network is being closed"))
                        : failure(NetworkFailure::Other,
                                  QStringLiteral("the network worker stopped unexpectedly"));
            break;
        }
        if (type == Type::Progress) {
            deadline = Clock::now() + budget;
            continue;
        }
        if (type == Type::NeedPassword) {
            // The account's own logon is made once, by the caller's choice; every other logon
            // goes through the gate.
            const auto waited = Clock::now();
            const bool allowed = job.kind == JobKind::Logon || (deciding || m_gate.enter(&deciding));
            const char* secret = allowed ? m_password() : nullptr;
            if (!secret) {
                process.send(Type::Refuse);
                process.kill();
                reply = failure(NetworkFailure::Stopped, QStringLiteral("not tried: ") + m_gate.refusal());
                break;
            }
            deadline += Clock::now() - waited;
            QByteArray granted(secret, qsizetype(std::strlen(secret)));
            process.send(Type::Grant, granted);
            std::memset(granted.data(), 0, size_t(granted.size()));
            continue;
        }
        if (type != Type::Reply || !WorkerMessages::decode(payload, reply)) {
            process.kill();
            reply = failure(NetworkFailure::Other, QStringLiteral("the network worker answered nonsense"));
            break;
        }
        if (reply.failure == NetworkFailure::Stopped && reply.reason.isEmpty())
            reply.reason = QStringLiteral("not tried: ") + m_gate.refusal();
        // A worker whose deadline passed ends after saying so; one that stalled in a library
        // call is better replaced than trusted with the next machine.
        if (reply.failure == NetworkFailure::TimedOut)
            process.kill();
        break;
    }
    if (deciding) {
        using Outcome = CredentialGate::Outcome;
        // A machine that went silent after the password may have passed it on and had it
        // refused: a second machine could make that two failed logons.
        const bool silent =
            !reply.connected && !m_stopped &&
            (reply.failure == NetworkFailure::TimedOut || reply.failure == NetworkFailure::Other);
        if (silent)
            m_gate.decide(Outcome::Silent,
                          QStringLiteral("the account could not be proven: %1 took the password and gave no "
                                         "answer (%2); no other machine gets it in this run, so a wrong "
                                         "password cannot cost a second failed logon")
                              .arg(job.machine, reply.reason));
        else
            m_gate.decide(reply.connected                          ? Outcome::Accepted
                          : reply.failure == NetworkFailure::Logon ? Outcome::Refused
                                                                   : Outcome::Undecided,
                          reply.reason);
    }
    return reply;
}
