// Pseudonyms by BLAKE2b keyed with the site key, and the key file's creation and checks.
#include "report/Pseudonyms.h"

#include "base/PrivateFile.h"
#include "base/VcError.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <QFile>
#include <QFileInfo>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

VcError keyError(const QString& path, const QString& why) {
    return VcError(ErrorNumber::FileFailure, QStringLiteral("The pseudonym key ") + path +
                                                 QStringLiteral(" cannot be used: ") + why +
                                                 QStringLiteral(". No report was made."));
}

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

void ensureSodium() {
    if (sodium_init() < 0)
        throw VcError(ErrorNumber::InvalidArgument,
                      QStringLiteral("The cryptography library could not start"));
}

// Writes a new key beside path and links it into place: link() never replaces a file, so two
// reports starting at once end up with the one key that got there first.
void createKey(const QString& path) {
    ensureSodium();
    QByteArray temporary =
        QFile::encodeName(QFileInfo(path).absolutePath() + QStringLiteral("/.pseudonym.key.XXXXXX"));
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        throw keyError(path, QStringLiteral("it could not be created: ") + systemError());
    unsigned char key[Pseudonyms::kKeyBytes];
    randombytes_buf(key, sizeof key);
    const bool written = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0 &&
                         ::write(fd, key, sizeof key) == ssize_t(sizeof key) && ::fsync(fd) == 0;
    sodium_memzero(key, sizeof key);
    const int writeErrno = errno;
    ::close(fd);
    if (!written) {
        ::unlink(temporary.constData());
        errno = writeErrno;
        throw keyError(path, QStringLiteral("it could not be written: ") + systemError());
    }
    const int linked = ::link(temporary.constData(), QFile::encodeName(path).constData());
    const int linkErrno = errno;
    ::unlink(temporary.constData());
    if (linked != 0 && linkErrno != EEXIST) {
        errno = linkErrno;
        throw keyError(path, QStringLiteral("it could not be created: ") + systemError());
    }
}

QByteArray readKey(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        throw keyError(path, systemError());
    struct stat info {};
    QByteArray key(Pseudonyms::kKeyBytes + 1, '\0');
    QString refusal = privateFileRefusal(fd);
    if (refusal.isEmpty() && (::fstat(fd, &info) != 0 || info.st_size != Pseudonyms::kKeyBytes ||
                              ::read(fd, key.data(), key.size()) != Pseudonyms::kKeyBytes))
        refusal = QStringLiteral("it is not a key of %1 bytes").arg(Pseudonyms::kKeyBytes);
    ::close(fd);
    if (!refusal.isEmpty())
        throw keyError(path, refusal);
    key.truncate(Pseudonyms::kKeyBytes);
    return key;
}

} // namespace

Pseudonyms Pseudonyms::fromKeyFile(const QString& path, bool workstations) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) {
        if (errno != ENOENT)
            throw keyError(path, systemError());
        createKey(path);
    }
    return Pseudonyms(readKey(path), workstations);
}

Pseudonyms::Pseudonyms(QByteArray key, bool workstations)
    : m_key(std::move(key)), m_workstations(workstations) {
    ensureSodium();
}

QString Pseudonyms::user(const QString& name, int digits) const {
    return pseudonym("user", QStringLiteral("User "), name, digits);
}

QString Pseudonyms::workstation(const QString& name, int digits) const {
    return m_workstations ? pseudonym("workstation", QStringLiteral("Workstation "), name, digits) : name;
}

QString Pseudonyms::pseudonym(const char* kind, const QString& label, const QString& name, int digits) const {
    // The kind keeps a user and a workstation of the same name apart.
    const QByteArray input = QByteArray(kind) + '\0' + name.toCaseFolded().toUtf8();
    unsigned char digest[16];
    crypto_generichash(digest, sizeof digest, reinterpret_cast<const unsigned char*>(input.constData()),
                       static_cast<unsigned long long>(input.size()),
                       reinterpret_cast<const unsigned char*>(m_key.constData()), size_t(m_key.size()));
    const QByteArray hex = QByteArray(reinterpret_cast<const char*>(digest), sizeof digest).toHex().toUpper();
    return label + QString::fromLatin1(hex.left(std::clamp(digits, 6, int(hex.size()))));
}
