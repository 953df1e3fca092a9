// TCP reachability of a machine's SMB port with a timeout of our own.
#include "network/SmbPort.h"

#include <cerrno>
#include <cstring>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

SmbPortAnswer smbPortAddress(const QString& machine, int timeoutSeconds) {
    SmbPortAnswer answer;
    addrinfo hints = {};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_family = AF_UNSPEC;
    hints.ai_flags = AI_ADDRCONFIG;
    addrinfo* found = nullptr;
    const int looked = getaddrinfo(machine.toUtf8().constData(), "445", &hints, &found);
    if (looked != 0) {
        answer.reason = {NetworkFailure::Unreachable,
                         looked == EAI_NONAME || looked == EAI_NODATA
                             ? QStringLiteral("the name is not known (DNS or the hosts file)")
                             : QStringLiteral("the name could not be looked up: ") +
                                   QString::fromLocal8Bit(gai_strerror(looked))};
        return answer;
    }
    bool timedOut = false;
    int refusal = ECONNREFUSED;
    for (addrinfo* a = found; a && answer.address.isEmpty(); a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0)
            continue;
        bool connected = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0;
        if (!connected && errno != EINPROGRESS)
            refusal = errno;
        if (!connected && errno == EINPROGRESS) {
            pollfd p = {fd, POLLOUT, 0};
            int ready = 0;
            do
                ready = ::poll(&p, 1, timeoutSeconds * 1000);
            while (ready < 0 && errno == EINTR);
            if (ready == 1) {
                int error = 0;
                socklen_t length = sizeof error;
                connected = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
                if (error != 0)
                    refusal = error;
            } else {
                timedOut = true;
            }
        }
        ::close(fd);
        char text[NI_MAXHOST] = {};
        if (connected &&
            getnameinfo(a->ai_addr, a->ai_addrlen, text, sizeof text, nullptr, 0, NI_NUMERICHOST) == 0)
            answer.address = QByteArray(text);
    }
    freeaddrinfo(found);
    if (answer.address.isEmpty())
        answer.reason =
            timedOut ? NetworkReason{NetworkFailure::TimedOut,
                                     QStringLiteral("no answer on port 445 within %1 s").arg(timeoutSeconds)}
            : refusal == ECONNREFUSED
                ? NetworkReason{NetworkFailure::Unreachable,
                                QStringLiteral("nothing answers on port 445 (connection refused)")}
                : NetworkReason{NetworkFailure::Unreachable,
                                QStringLiteral("the machine cannot be reached: ") +
                                    QString::fromLocal8Bit(std::strerror(refusal))};
    return answer;
}
