// The network worker's process: its protections, its conversation with the console, and the
// deadline that ends it when a job overruns.
#include "network/NetworkWorker.h"

#include "network/WorkerJobs.h"
#include "network/WorkerMessages.h"
#include "network/WorkerProcess.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <sodium.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace NetworkWorker {
namespace {

using WorkerMessages::Type;

constexpr int kChannel = 3;
// A worker without work for this long ends; the console starts another when it needs one.
constexpr int kIdleMilliseconds = 60 * 1000;

WorkerMessages::Setup setup;
QByteArray pending; // bytes received beyond the last message
char* secret = nullptr;

// The job's deadline: when it passes, the prepared "no answer" reply goes out and the
// process ends (nothing of the job needs to be undone: the console owns every file).
const char* volatile timeoutFrame = nullptr;
volatile size_t timeoutLength = 0;
std::chrono::steady_clock::time_point jobStart;
int budgetSeconds = 0; // the job's deadline, from its start or its last progress
int connectedBudget = 0;
itimerval paused = {};

[[noreturn]] void quit() {
    if (secret)
        sodium_free(secret);
    ::_exit(0);
}

void onDeadline(int) {
    const char* data = timeoutFrame;
    size_t left = timeoutLength;
    while (data && left > 0) {
        const ssize_t n = ::write(kChannel, data, left);
        if (n <= 0)
            break;
        data += n;
        left -= size_t(n);
    }
    ::_exit(0);
}

void arm(int seconds) {
    itimerval timer = {};
    timer.it_value.tv_sec = seconds;
    ::setitimer(ITIMER_REAL, &timer, nullptr);
}

bool sendMessage(Type type, const QByteArray& payload = QByteArray()) {
    const QByteArray bytes = WorkerMessages::frame(type, payload);
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n =
            ::send(kChannel, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += n;
    }
    return true;
}

// The next message from the console; ends the worker when the console has gone, sends
// nonsense, or (waitMilliseconds >= 0) leaves it idle that long.
Type receive(QByteArray* payload, int waitMilliseconds) {
    for (;;) {
        if (pending.size() >= 5) {
            quint32 length = 0;
            for (int i = 0; i < 4; ++i)
                length |= quint32(quint8(pending[i])) << (8 * i);
            if (length == 0 || length > WorkerMessages::kMaxSize)
                quit();
            if (quint32(pending.size()) >= length + 4) {
                const Type type = Type(quint8(pending[4]));
                *payload = pending.mid(5, qsizetype(length) - 1);
                // The password passed through this buffer: overwrite it there.
                sodium_memzero(pending.data(), size_t(length) + 4);
                pending.remove(0, qsizetype(length) + 4);
                return type;
            }
        }
        pollfd p = {kChannel, POLLIN, 0};
        const int ready = ::poll(&p, 1, waitMilliseconds);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0)
            quit();
        char chunk[65536];
        const ssize_t n = ::recv(kChannel, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            quit();
        pending.append(chunk, n);
        sodium_memzero(chunk, size_t(n));
    }
}

void protectProcess() {
    // Samba leaves copies of the password in freed memory: no core file and no other process
    // of this user (a debugger, /proc/PID/mem) may read it.
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    const rlimit none = {0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
    std::signal(SIGPIPE, SIG_IGN);
    // Only the channel is inherited on purpose; anything else stays out of the Samba libraries' way.
    ::close_range(kChannel + 1, ~0U, 0);
    struct sigaction action = {};
    action.sa_handler = onDeadline;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGALRM, &action, nullptr);
}

void runJob(const WorkerMessages::Job& job) {
    const int t = setup.timeoutSeconds;
    // Name lookup, connection and logon get two timeouts, the whole job three; a copy or a
    // directory read gets three again with every MiB or page.
    switch (job.kind) {
    case WorkerMessages::JobKind::Logon:
        budgetSeconds = 2 * t;
        connectedBudget = 0;
        break;
    case WorkerMessages::JobKind::Services:
    case WorkerMessages::JobKind::Prove:
        budgetSeconds = 2 * t;
        connectedBudget = 3 * t;
        break;
    default:
        budgetSeconds = 3 * t;
        connectedBudget = 0;
        break;
    }
    WorkerMessages::Reply late;
    late.failure = NetworkFailure::TimedOut;
    late.reason =
        QStringLiteral("no answer within %1 s")
            .arg(job.kind == WorkerMessages::JobKind::Copy || job.kind == WorkerMessages::JobKind::Enumerate
                     ? t
                     : budgetSeconds);
    const QByteArray frame = WorkerMessages::frame(Type::Reply, WorkerMessages::encode(late));
    timeoutFrame = frame.constData();
    timeoutLength = size_t(frame.size());
    jobStart = std::chrono::steady_clock::now();
    arm(budgetSeconds);
    WorkerMessages::Reply reply = WorkerJobs::run(setup, job);
    arm(0);
    timeoutFrame = nullptr;
    timeoutLength = 0;
    if (secret) {
        sodium_free(secret);
        secret = nullptr;
    }
    if (!sendMessage(Type::Reply, WorkerMessages::encode(reply)))
        quit();
}

} // namespace

void progress() {
    if (budgetSeconds <= 0)
        return;
    arm(budgetSeconds);
    sendMessage(Type::Progress);
}

void connected() {
    if (connectedBudget <= 0)
        return;
    const auto spent =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - jobStart);
    arm(std::max(1, connectedBudget - int(spent.count())));
}

const char* password() {
    if (secret)
        return secret;
    // The console may keep this job waiting while another machine decides whether the account
    // is good: the deadline stops meanwhile.
    itimerval off = {};
    ::setitimer(ITIMER_REAL, &off, &paused);
    if (!sendMessage(Type::NeedPassword))
        quit();
    QByteArray payload;
    const Type type = receive(&payload, -1);
    if (type != Type::Grant) {
        // Refused: nothing may be sent to the machine without the password, not even an
        // empty one. The console knows why; this process ends here.
        WorkerMessages::Reply reply;
        reply.failure = NetworkFailure::Stopped;
        reply.passwordAsked = true;
        sendMessage(Type::Reply, WorkerMessages::encode(reply));
        quit();
    }
    if (sodium_init() < 0 || !(secret = static_cast<char*>(sodium_malloc(size_t(payload.size()) + 1))))
        quit();
    std::memcpy(secret, payload.constData(), size_t(payload.size()));
    secret[payload.size()] = '\0';
    sodium_memzero(payload.data(), size_t(payload.size()));
    ::setitimer(ITIMER_REAL, &paused, nullptr);
    return secret;
}

void runIfAsked(int argc, char** argv) {
    if (argc != 2 || std::strcmp(argv[1], WorkerProcess::kWorkerArgument) != 0)
        return;
    protectProcess();
    if (!sendMessage(Type::Hello, QByteArray::number(WorkerMessages::kVersion)))
        quit();
    QByteArray payload;
    if (receive(&payload, kIdleMilliseconds) != Type::Setup || !WorkerMessages::decode(payload, setup))
        quit();
    for (;;) {
        WorkerMessages::Job job;
        if (receive(&payload, kIdleMilliseconds) != Type::Job || !WorkerMessages::decode(payload, job))
            quit();
        runJob(job);
    }
}

} // namespace NetworkWorker
