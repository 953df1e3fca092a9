// One network worker process, from the console's side: started from this very program, talked
// to over a socket, killed when it overruns a deadline, and never left behind.
#pragma once

#include "network/WorkerMessages.h"

#include <chrono>
#include <memory>
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <sys/types.h>

class WorkerProcess {
public:
    using Clock = std::chrono::steady_clock;

    // How the worker is started: its environment ("NAME=value") and working folder.
    struct Launch {
        QStringList environment;
        QString folder;
        QByteArray setup; // the encoded WorkerMessages::Setup
    };

    // Starts a worker and waits (at most `deadline`) for its greeting; nothing and the reason
    // when it could not be started or did not greet.
    static std::unique_ptr<WorkerProcess> start(const Launch& launch, Clock::time_point deadline,
                                                QString* error);

    WorkerProcess(const WorkerProcess&) = delete;
    WorkerProcess& operator=(const WorkerProcess&) = delete;
    // Kills the process (if it still runs) and reaps it.
    ~WorkerProcess();

    bool send(WorkerMessages::Type type, const QByteArray& payload = QByteArray());

    enum class Wait { Message, Deadline, Closed };
    // The next message; Deadline when none came in time, Closed when the worker went away or
    // sent something that is not a message.
    Wait receive(WorkerMessages::Type* type, QByteArray* payload, Clock::time_point deadline);

    void kill();
    // Makes a receive in another thread return Closed (the descriptor stays open until kill).
    void interrupt();
    bool alive() const { return m_fd >= 0; }

    // The program's name in the argument list of a worker; a main() that gets it as its
    // second argument hands the process to the worker loop at once.
    static constexpr const char* kWorkerArgument = "--vc-network-worker";

private:
    WorkerProcess(pid_t pid, int fd) : m_pid(pid), m_fd(fd) {}

    pid_t m_pid = -1;
    int m_fd = -1;
    QByteArray m_buffer;
};
