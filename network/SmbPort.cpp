// TCP reachability of a machine's SMB port with a timeout of our own.
#include "network/SmbPort.h"

#include <cerrno>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

std::optional<QByteArray> smbPortAddress(const QString& machine, int timeoutSeconds) {
    addrinfo hints = {};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_family = AF_UNSPEC;
    addrinfo* found = nullptr;
    if (getaddrinfo(machine.toUtf8().constData(), "445", &hints, &found) != 0)
        return std::nullopt;
    std::optional<QByteArray> answered;
    for (addrinfo* a = found; a && !answered; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0)
            continue;
        bool connected = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0;
        if (!connected && errno == EINPROGRESS) {
            pollfd p = {fd, POLLOUT, 0};
            if (::poll(&p, 1, timeoutSeconds * 1000) == 1) {
                int error = 0;
                socklen_t length = sizeof error;
                connected = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
            }
        }
        ::close(fd);
        char text[NI_MAXHOST] = {};
        if (connected &&
            getnameinfo(a->ai_addr, a->ai_addrlen, text, sizeof text, nullptr, 0, NI_NUMERICHOST) == 0)
            answered = QByteArray(text);
    }
    freeaddrinfo(found);
    return answered;
}
