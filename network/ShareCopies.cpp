// Per-user folder of share-file copies, with the removal of those left by killed processes.
#include "network/ShareCopies.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ShareCopies {
namespace {

class LocalCopy : public ShareFileCopy {
public:
    LocalCopy(std::unique_ptr<QTemporaryDir> dir, QString path)
        : m_dir(std::move(dir)), m_path(std::move(path)) {}
    ~LocalCopy() override {
        // The folder holds this one file: two calls instead of a recursive walk of it.
        if (::unlink(QFile::encodeName(m_path).constData()) == 0 &&
            ::rmdir(QFile::encodeName(m_dir->path()).constData()) == 0) {
            m_dir->setAutoRemove(false);
            return;
        }
        // The copy is read-only; give the owner write access back so the folder can go.
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner);
    }
    QString path() const override { return m_path; }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

// The whole file from one open handle into a new owner-only file, in the kernel. QFile::copy
// goes through a temporary file, small blocks and a rename; with hundreds of workstations per
// start that was a large part of a download that found one new day on each.
bool copyWhole(const QString& source, const QString& target) {
    const int in = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return false;
    const int out = ::open(QFile::encodeName(target).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                           S_IRUSR | S_IWUSR);
    bool ok = out >= 0;
    struct stat info {};
    ok = ok && ::fstat(in, &info) == 0 && S_ISREG(info.st_mode);
    while (ok) {
        const ssize_t sent = ::sendfile(out, in, nullptr, 1 << 30);
        if (sent == 0)
            break;
        ok = sent > 0 || errno == EINTR;
    }
    ok = out >= 0 && ::close(out) == 0 && ok;
    ::close(in);
    if (!ok)
        QFile::remove(target);
    return ok;
}

bool processRuns(qint64 pid) {
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

} // namespace

QString folder() {
    const QString path = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                         QStringLiteral("/vellumcrest/share-copies");
    if (!QDir().mkpath(path))
        return QString();
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

int removeStale() {
    const QString base = folder();
    if (base.isEmpty())
        return 0;
    int removed = 0;
    for (const QString& name : QDir(base).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool ok = false;
        const qint64 pid = name.section(QLatin1Char('-'), 0, 0).toLongLong(&ok);
        // A folder whose name is not ours is left alone.
        if (!ok || processRuns(pid))
            continue;
        QDir stale(base + QLatin1Char('/') + name);
        // Copies are read-only; the folder itself is the owner's, so removal works.
        if (stale.removeRecursively())
            ++removed;
    }
    return removed;
}

std::unique_ptr<QTemporaryDir> newCopyFolder() {
    static std::once_flag cleaned;
    std::call_once(cleaned, [] { removeStale(); });
    const QString base = folder();
    if (base.isEmpty())
        return nullptr;
    auto dir = std::make_unique<QTemporaryDir>(base + QLatin1Char('/') +
                                               QString::number(QCoreApplication::applicationPid()) +
                                               QStringLiteral("-XXXXXX"));
    if (!dir->isValid())
        return nullptr;
    return dir;
}

std::unique_ptr<ShareFileCopy> copyFile(const QString& source, const QString& fileName) {
    auto dir = newCopyFolder();
    if (!dir)
        return nullptr;
    const QString copy = dir->filePath(fileName);
    if (!copyWhole(source, copy))
        return nullptr;
    QFile::setPermissions(copy, QFile::ReadOwner);
    return std::make_unique<LocalCopy>(std::move(dir), copy);
}

} // namespace ShareCopies
