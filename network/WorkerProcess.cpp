// Starting, talking to and ending a network worker process.
#include "network/WorkerProcess.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using WorkerMessages::Type;

int millisecondsUntil(WorkerProcess::Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - WorkerProcess::Clock::now()).count();
    return int(std::clamp<long long>(left, 0, 24LL * 3600 * 1000));
}

QString systemError(const char* what, int error) {
    return QString::fromLatin1(what) + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

std::unique_ptr<WorkerProcess> WorkerProcess::start(const Launch& launch, Clock::time_point deadline,
                                                    QString* error) {
    int pair[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        *error = systemError("socketpair", errno);
        return nullptr;
    }
    std::vector<QByteArray> environment;
    for (const QString& entry : launch.environment)
        environment.push_back(QFile::encodeName(entry));
    std::vector<char*> envp;
    for (QByteArray& entry : environment)
        envp.push_back(entry.data());
    envp.push_back(nullptr);
    char name[] = "vellumcrest-network-worker";
    char argument[] = "--vc-network-worker";
    char* argv[] = {name, argument, nullptr};
    const QByteArray folder = QFile::encodeName(launch.folder);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    // The socket is the worker's descriptor 3; its standard input and output go nowhere, its
    // errors to ours. Nothing else of this process is inherited (every other descriptor here
    // is close-on-exec, and the worker closes any that is not).
    posix_spawn_file_actions_adddup2(&actions, pair[1], 3);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, folder.constData());
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGALRM);
    sigaddset(&defaults, SIGTERM);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    // This very program: the worker is the same build as the console, even when the package
    // was upgraded while the console runs.
    const int spawned = posix_spawn(&pid, "/proc/self/exe", &actions, &attributes, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(pair[1]);
    if (spawned != 0) {
        ::close(pair[0]);
        *error = systemError("starting a network worker", spawned);
        return nullptr;
    }
    std::unique_ptr<WorkerProcess> worker(new WorkerProcess(pid, pair[0]));
    Type type = Type::Hello;
    QByteArray payload;
    const Wait got = worker->receive(&type, &payload, deadline);
    if (got != Wait::Message || type != Type::Hello ||
        payload != QByteArray::number(WorkerMessages::kVersion)) {
        *error = got == Wait::Deadline
                     ? QStringLiteral("a network worker did not start in time")
                     : QStringLiteral("a network worker did not start (is this program whole?)");
        return nullptr;
    }
    if (!worker->send(Type::Setup, launch.setup)) {
        *error = QStringLiteral("a network worker stopped at its start");
        return nullptr;
    }
    return worker;
}

WorkerProcess::~WorkerProcess() {
    kill();
}

void WorkerProcess::kill() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        while (::waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
    }
}

void WorkerProcess::interrupt() {
    if (m_fd >= 0)
        ::shutdown(m_fd, SHUT_RDWR);
}

bool WorkerProcess::send(Type type, const QByteArray& payload) {
    if (m_fd < 0)
        return false;
    QByteArray bytes = WorkerMessages::frame(type, payload);
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        // MSG_NOSIGNAL: a worker that died must not take the console with it.
        const ssize_t n = ::send(m_fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            kill();
            return false;
        }
        sent += n;
    }
    if (type == Type::Grant)
        std::fill(bytes.begin(), bytes.end(), '\0');
    return true;
}

WorkerProcess::Wait WorkerProcess::receive(Type* type, QByteArray* payload, Clock::time_point deadline) {
    for (;;) {
        if (m_buffer.size() >= 4) {
            quint32 length = 0;
            for (int i = 0; i < 4; ++i)
                length |= quint32(quint8(m_buffer[i])) << (8 * i);
            if (length == 0 || length > WorkerMessages::kMaxSize) {
                kill();
                return Wait::Closed;
            }
            if (quint32(m_buffer.size()) >= length + 4) {
                *type = Type(quint8(m_buffer[4]));
                *payload = m_buffer.mid(5, qsizetype(length) - 1);
                m_buffer.remove(0, qsizetype(length) + 4);
                return Wait::Message;
            }
        }
        if (m_fd < 0)
            return Wait::Closed;
        pollfd p = {m_fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, millisecondsUntil(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0)
            return Wait::Deadline;
        char chunk[65536];
        const ssize_t n = ready > 0 ? ::recv(m_fd, chunk, sizeof chunk, 0) : -1;
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            kill();
            return Wait::Closed;
        }
        m_buffer.append(chunk, n);
    }
}
