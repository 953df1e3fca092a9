// The owner-only check of a file that holds a secret.
#include "base/PrivateFile.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

QString privateFileRefusal(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        return QStringLiteral("it is not a regular file");
    if (info.st_uid != ::geteuid())
        return QStringLiteral("it is owned by another user");
    if (info.st_mode & (S_IRWXG | S_IRWXO))
        return QStringLiteral("others may read or change it (chmod 600)");
    return QString();
}
