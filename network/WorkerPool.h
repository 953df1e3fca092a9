// Network worker processes for one network, up to Parallel of them, each running one job at a
// time for whichever thread asks: real parallel work for libraries that allow one user per
// process, every job under a deadline, the password handed out only through the gate.
#pragma once

#include "network/CredentialGate.h"
#include "network/WorkerMessages.h"
#include "network/WorkerProcess.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class WorkerPool {
public:
    struct Settings {
        WorkerProcess::Launch launch;
        int timeoutSeconds = 5;
        int size = 1;
    };

    // `password` gives the account's password (NUL-terminated) when a job may have it.
    WorkerPool(Settings settings, CredentialGate& gate, std::function<const char*()> password);
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;
    ~WorkerPool();

    // Runs the job on an idle worker (starting one when none is idle), blocking the calling
    // thread until the reply, at most the job's deadline (restarted by each sign of progress,
    // paused while the job waits at the gate). A worker past its deadline is killed: the reply
    // says the machine did not answer in time. Safe from any thread.
    WorkerMessages::Reply run(const WorkerMessages::Job& job);

    // Ends every worker: running jobs return at once, later ones do not start.
    void stop();

    // A job's deadline in seconds from its start or last progress, as the worker keeps it,
    // with the console's margin.
    static int deadlineSeconds(WorkerMessages::JobKind kind, int timeoutSeconds);

private:
    struct Slot {
        std::unique_ptr<WorkerProcess> process;
        bool busy = false;
    };
    int acquire();
    void release(int slot, bool keep);
    // The job's conversation with the worker it was handed to.
    WorkerMessages::Reply converse(WorkerProcess& process, const WorkerMessages::Job& job);

    const Settings m_settings;
    CredentialGate& m_gate;
    const std::function<const char*()> m_password;
    std::mutex m_mutex;
    std::condition_variable m_freed;
    std::vector<Slot> m_slots;
    std::atomic<bool> m_stopped{false};
};
