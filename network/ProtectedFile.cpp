// Reads a file with the ownership and permission rules ssh applies to keys.
#include "network/ProtectedFile.h"

#include "base/VcError.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ProtectedFile {
namespace {

[[noreturn]] void refuse(const QString& what, const QString& path, const QString& why) {
    throw VcError(ErrorNumber::FileFailure, what + QLatin1Char(' ') + path + QStringLiteral(": ") + why);
}

QString sizeText(qint64 bytes) {
    return bytes >= 1024 * 1024 ? QStringLiteral("%1 MiB").arg(bytes / (1024 * 1024))
                                : QStringLiteral("%1 KiB").arg(bytes / 1024);
}

} // namespace

void wipe(QByteArray& bytes) {
    if (!bytes.isEmpty() && !bytes.isDetached())
        bytes = QByteArray(); // another copy still holds the bytes; it wipes them itself
    if (!bytes.isEmpty())
        sodium_memzero(bytes.data(), size_t(bytes.size()));
    bytes.clear();
}

QByteArray read(const QString& path, const QString& what, Access access, qint64 maxSize) {
    const QByteArray native = QFile::encodeName(path);
    // O_NONBLOCK: a FIFO put in the file's place must not hang the start.
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        refuse(what, path, QString::fromLocal8Bit(std::strerror(errno)));
    struct stat info = {};
    QByteArray text;
    try {
        if (::fstat(fd, &info) != 0)
            refuse(what, path, QString::fromLocal8Bit(std::strerror(errno)));
        if (!S_ISREG(info.st_mode))
            refuse(what, path, QStringLiteral("not a regular file"));
        const mode_t open = access == Access::OwnerOnly ? 077 : 022;
        if ((info.st_mode & open) != 0)
            refuse(what, path,
                   QStringLiteral(
                       "permissions 0%1 are too open; it must not be %2 by group or others (chmod %3 it)")
                       .arg(info.st_mode & 0777, 3, 8, QLatin1Char('0'))
                       .arg(access == Access::OwnerOnly ? QStringLiteral("accessible")
                                                        : QStringLiteral("writable"),
                            access == Access::OwnerOnly ? QStringLiteral("600") : QStringLiteral("644")));
        if (info.st_uid != ::geteuid() && info.st_uid != 0)
            refuse(what, path, QStringLiteral("owned by another user"));
        if (info.st_size > maxSize)
            refuse(what, path, QStringLiteral("larger than ") + sizeText(maxSize));
        text.resize(qsizetype(info.st_size) + 1);
        qsizetype filled = 0;
        while (filled < text.size()) {
            const ssize_t got = ::read(fd, text.data() + filled, size_t(text.size() - filled));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                refuse(what, path, QString::fromLocal8Bit(std::strerror(errno)));
            if (got == 0)
                break;
            filled += got;
        }
        if (filled > info.st_size)
            refuse(what, path, QStringLiteral("changed while it was read"));
        ::close(fd);
        text.truncate(filled);
        return text;
    } catch (...) {
        ::close(fd);
        wipe(text);
        throw;
    }
}

} // namespace ProtectedFile
