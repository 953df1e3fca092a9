// The output-path rule and the temporary-then-rename write every output goes through.
#include "base/OutputFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What the engine keeps beside a database, and the writers' lock: every one of them is the
// database (a lock file replaced by a new one would let two writers in at once).
const char* const kDatabaseSuffixes[] = {"", "-wal", "-shm", "-journal", "-writers"};
// A temporary younger than this may belong to a writer that has created it but not yet locked it.
constexpr std::time_t kStaleAfterSeconds = 60;

QMutex& protectedMutex() {
    static QMutex mutex;
    return mutex;
}

QStringList& protectedDatabases() {
    static QStringList paths;
    return paths;
}

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

QByteArray encoded(const QString& path) {
    return QFile::encodeName(path);
}

// The folder of path as the file system resolves it (links followed), for identity checks.
bool folderOf(const QString& path, struct stat* info) {
    return ::stat(encoded(QFileInfo(path).absolutePath()).constData(), info) == 0;
}

// .<name>.<6 letters or digits>.vctmp, and the engine's journal beside an export being built.
const QRegularExpression& temporaryName() {
    static const QRegularExpression pattern(QStringLiteral("^\\..+\\.[A-Za-z0-9]{6}\\.vctmp(-journal)?$"));
    return pattern;
}

QString randomTag() {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString tag;
    for (int i = 0; i < 6; ++i)
        tag.append(QLatin1Char(letters[QRandomGenerator::global()->bounded(int(sizeof letters) - 1)]));
    return tag;
}

bool syncFolder(const QString& folder) {
    const int fd = ::open(encoded(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL; // some file systems cannot sync a folder
    ::close(fd);
    return ok;
}

} // namespace

void OutputFile::protect(const QString& databasePath) {
    const QString path = QFileInfo(databasePath).absoluteFilePath();
    QMutexLocker lock(&protectedMutex());
    if (!protectedDatabases().contains(path))
        protectedDatabases().append(path);
}

QString OutputFile::refusal(const QString& target) {
    if (target.isEmpty())
        return QStringLiteral("no file name was given");
    const QByteArray name = encoded(target);
    struct stat info {};
    const bool exists = ::lstat(name.constData(), &info) == 0;
    if (!exists && errno != ENOENT)
        return QStringLiteral("%1: %2").arg(target, systemError(errno));
    if (exists && S_ISLNK(info.st_mode))
        return QStringLiteral("%1 is a symbolic link; name the file itself").arg(target);
    if (exists && S_ISDIR(info.st_mode))
        return QStringLiteral("%1 is a folder").arg(target);
    if (exists && !S_ISREG(info.st_mode))
        return QStringLiteral("%1 is not a regular file (a device, pipe or socket); it is left as it is")
            .arg(target);

    QStringList databases;
    {
        QMutexLocker lock(&protectedMutex());
        databases = protectedDatabases();
    }
    struct stat targetFolder {};
    const bool haveFolder = folderOf(target, &targetFolder);
    const QString fileName = QFileInfo(target).fileName();
    for (const QString& database : databases) {
        struct stat databaseFolder {};
        const bool sameFolder =
            haveFolder && folderOf(database, &databaseFolder) && sameFile(targetFolder, databaseFolder);
        for (const char* suffix : kDatabaseSuffixes) {
            const QString guarded = database + QString::fromLatin1(suffix);
            struct stat guardedInfo {};
            const bool hit = (sameFolder && fileName == QFileInfo(guarded).fileName()) ||
                             (exists && ::stat(encoded(guarded).constData(), &guardedInfo) == 0 &&
                              sameFile(info, guardedInfo));
            if (hit)
                return QStringLiteral("%1 is the manager database or one of its journals").arg(target);
        }
    }
    return QString();
}

QString OutputFile::pdfProblem(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    // The smallest page a printer writes is far larger; anything shorter is cut off.
    constexpr qint64 kSmallest = 256;
    if (file.size() < kSmallest || file.read(5) != "%PDF-")
        return QStringLiteral("the PDF file is incomplete");
    if (!file.seek(file.size() - 64))
        return file.errorString();
    const QByteArray tail = file.read(64).trimmed();
    if (!tail.endsWith("%%EOF"))
        return QStringLiteral("the PDF file is incomplete");
    return QString();
}

int OutputFile::removeStaleTemporaries(const QString& folder) {
    int removed = 0;
    const QDir dir(folder);
    const QStringList names = dir.entryList({QStringLiteral(".*.vctmp"), QStringLiteral(".*.vctmp-journal")},
                                            QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks);
    const std::time_t now = std::time(nullptr);
    for (const QString& entry : names) {
        if (!temporaryName().match(entry).hasMatch())
            continue;
        const bool journal = entry.endsWith(QLatin1String("-journal"));
        const QString path = dir.filePath(entry);
        const QByteArray name = encoded(path);
        struct stat info {};
        // Only a plain file of this user's, untouched for a while.
        if (::lstat(name.constData(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid() ||
            now - info.st_mtime < kStaleAfterSeconds)
            continue;
        if (journal) {
            // The engine's journal goes with its file: only once that file is gone.
            if (QFileInfo::exists(path.chopped(8)))
                continue;
            if (::unlink(name.constData()) == 0)
                ++removed;
            continue;
        }
        const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat opened {};
        // A writer holds its temporary locked until it is renamed or removed.
        if (::fstat(fd, &opened) == 0 && sameFile(opened, info) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::unlink(name.constData()) == 0) {
            ++removed;
            ::unlink(encoded(path + QStringLiteral("-journal")).constData());
        }
        ::close(fd);
    }
    return removed;
}

OutputFile::OutputFile(QString target) : m_target(std::move(target)) {}

OutputFile::~OutputFile() {
    discard();
}

bool OutputFile::fail(const QString& error) {
    m_error = error;
    discard();
    return false;
}

void OutputFile::discard() {
    if (!m_committed && !m_temporary.isEmpty()) {
        ::unlink(encoded(m_temporary).constData());
        ::unlink(encoded(m_temporary + QStringLiteral("-journal")).constData());
    }
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_temporary.clear();
}

bool OutputFile::open() {
    discard();
    m_committed = false;
    m_error = refusal(m_target);
    if (!m_error.isEmpty())
        return false;
    const QFileInfo target(m_target);
    removeStaleTemporaries(target.absolutePath());
    // Room for the tag and suffix within a file name's limit of 255 bytes.
    QString stem = target.fileName();
    while (encoded(stem).size() > 200)
        stem.chop(1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString candidate = target.absolutePath() + QStringLiteral("/.") + stem + QLatin1Char('.') +
                                  randomTag() + QStringLiteral(".vctmp");
        // Created here and now, never through a link, readable by its owner only from the start.
        const int fd = ::open(encoded(candidate).constData(),
                              O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0)
            return fail(QStringLiteral("Cannot create a file in %1: %2")
                            .arg(target.absolutePath(), systemError(errno)));
        m_fd = fd;
        m_temporary = candidate;
        // Held until the rename, so the next run's clean-up never takes a file in use.
        ::flock(m_fd, LOCK_EX | LOCK_NB);
        ::fchmod(m_fd, S_IRUSR | S_IWUSR);
        return true;
    }
    return fail(QStringLiteral("Cannot create a file in %1").arg(target.absolutePath()));
}

bool OutputFile::write(const QByteArray& bytes) {
    if (m_fd < 0)
        return false;
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(m_fd, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return fail(QStringLiteral("Cannot write %1: %2").arg(m_target, systemError(errno)));
        data += written;
        left -= written;
    }
    return true;
}

bool OutputFile::commit(const std::function<QString(const QString& path)>& verify) {
    if (m_fd < 0)
        return false;
    if (::fsync(m_fd) != 0)
        return fail(QStringLiteral("Cannot write %1: %2").arg(m_target, systemError(errno)));
    if (verify) {
        const QString problem = verify(m_temporary);
        if (!problem.isEmpty())
            return fail(QStringLiteral("Cannot write %1: %2").arg(m_target, problem));
    }
    // What is there now, not what was there when the write began.
    const QString refused = refusal(m_target);
    if (!refused.isEmpty())
        return fail(refused);
    if (std::rename(encoded(m_temporary).constData(), encoded(m_target).constData()) != 0)
        return fail(QStringLiteral("Cannot write %1: %2").arg(m_target, systemError(errno)));
    m_committed = true;
    syncFolder(QFileInfo(m_target).absolutePath());
    discard();
    return true;
}

QString OutputFile::writeWhole(const QString& target, const QByteArray& bytes) {
    OutputFile file(target);
    if (!file.open() || !file.write(bytes) || !file.commit())
        return file.errorString();
    return QString();
}
