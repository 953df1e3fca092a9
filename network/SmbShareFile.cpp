// Share file copies over SMB, signed (and encrypted where the server can), in a worker process.
#include "network/SmbShareFile.h"

#include "base/VcError.h"
#include "network/MachineName.h"
#include "network/NetworkWorker.h"
#include "network/SmbPort.h"
#include "network/WorkerJobs.h"
#include "store/FileDatabase.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <libsmbclient.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using WorkerMessages::Reply;

// What the authentication callback hands the library for the current copy.
struct Account {
    QByteArray user;
    QByteArray domain;
    bool kerberos = true;
};

void copyInto(char* target, int size, const char* value, size_t length) {
    if (size <= 0)
        return;
    const size_t n = std::min(size_t(size - 1), length);
    std::memcpy(target, value, n);
    target[n] = '\0';
}

void authenticate(SMBCCTX* context, const char*, const char*, char* workgroup, int workgroupSize, char* user,
                  int userSize, char* password, int passwordSize) {
    const auto* account = static_cast<const Account*>(smbc_getOptionUserData(context));
    copyInto(workgroup, workgroupSize, account->domain.constData(), size_t(account->domain.size()));
    copyInto(user, userSize, account->user.constData(), size_t(account->user.size()));
    // Kerberos: the ticket cache only. NTLM: the password, asked for at the moment it is used;
    // when the console refuses it the worker ends here, before any logon is attempted.
    const char* secret = account->kerberos ? "" : NetworkWorker::password();
    copyInto(password, passwordSize, secret, std::strlen(secret));
}

// The worker's one libsmbclient context. It reads its settings from the worker's private
// home (~/.smb/smb.conf, written by the console with every security-relevant parameter), so
// neither /etc/samba/smb.conf nor the user's own file is ever loaded.
class Client {
public:
    static Client& instance() {
        static Client client;
        return client;
    }

    SMBCCTX* use(const WorkerMessages::Setup& setup, const QByteArray& principal) {
        m_account.kerberos = setup.kerberos;
        m_account.user = setup.kerberos ? principal : setup.username;
        m_account.domain = setup.kerberos ? QByteArray() : setup.domain;
        if (!m_context)
            return nullptr;
        smbc_setTimeout(m_context, setup.timeoutSeconds * 1000);
        smbc_setOptionUseKerberos(m_context, setup.kerberos);
        smbc_setOptionFallbackAfterKerberos(m_context, false);
        smbc_setOptionUseCCache(m_context, setup.kerberos);
        return m_context;
    }

    // Closes the last copy's connections: a worker going over many machines keeps none open.
    void done() {
        if (m_context)
            smbc_getFunctionPurgeCachedServers(m_context)(m_context);
    }

private:
    Client() {
        const QByteArray config = qgetenv("HOME") + "/.smb/smb.conf";
        SMBCCTX* context = smbc_new_context();
        if (!context)
            return;
        smbc_setDebug(context, 0);
        smbc_setOptionUserData(context, &m_account);
        smbc_setFunctionAuthDataWithContext(context, authenticate);
        smbc_setOptionNoAutoAnonymousLogin(context, true);
        if (!smbc_init_context(context) || smbc_setConfiguration(context, config.constData()) != 0) {
            smbc_free_context(context, 1);
            return;
        }
        m_context = context;
    }

    Account m_account;
    SMBCCTX* m_context = nullptr;
};

enum class Outcome { Copied, Inconsistent, Failed };

struct Fetch {
    Outcome outcome = Outcome::Failed;
    int error = 0; // errno of the failed open or read
    bool tooLarge = false;
    bool localFailure = false;
};

// Reads the remote file through one open handle into fd.
Fetch fetch(SMBCCTX* context, const QByteArray& url, int fd) {
    Fetch result;
    SMBCFILE* remote = smbc_getFunctionOpen(context)(context, url.constData(), O_RDONLY, 0);
    if (!remote) {
        result.error = errno;
        return result;
    }
    struct stat before = {};
    struct stat after = {};
    if (smbc_getFunctionFstat(context)(context, remote, &before) != 0) {
        result.error = errno;
        smbc_getFunctionClose(context)(context, remote);
        return result;
    }
    if (before.st_size > SmbShareFile::kMaxFileSize) {
        result.tooLarge = true;
        smbc_getFunctionClose(context)(context, remote);
        return result;
    }
    // Large reads: the library keeps several requests in flight for one. Never past the size
    // the file had when opened: some servers lose track of requests beyond its end.
    std::vector<char> buffer(1 << 20);
    qint64 total = 0;
    result.outcome = Outcome::Copied;
    for (;;) {
        const qint64 left = before.st_size - total;
        // At the end, one byte more: a file that grew meanwhile is not whole.
        const size_t wanted = left > 0 ? size_t(std::min<qint64>(left, qint64(buffer.size()))) : 1;
        const ssize_t got = smbc_getFunctionRead(context)(context, remote, buffer.data(), wanted);
        if (got < 0) {
            result.error = errno;
            result.outcome = Outcome::Failed;
            break;
        }
        if (got == 0)
            break;
        total += got;
        if (total > before.st_size) {
            result.outcome = Outcome::Inconsistent;
            break;
        }
        for (ssize_t written = 0; written < got;) {
            const ssize_t w = ::write(fd, buffer.data() + written, size_t(got - written));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                result.localFailure = true;
                result.outcome = Outcome::Failed;
                smbc_getFunctionClose(context)(context, remote);
                return result;
            }
            written += w;
        }
        NetworkWorker::progress();
    }
    if (result.outcome == Outcome::Copied) {
        if (smbc_getFunctionFstat(context)(context, remote, &after) != 0) {
            result.error = errno;
            result.outcome = Outcome::Failed;
        } else if (after.st_size != before.st_size || total != before.st_size ||
                   after.st_mtime != before.st_mtime) {
            result.outcome = Outcome::Inconsistent;
        }
    }
    smbc_getFunctionClose(context)(context, remote);
    return result;
}

Reply failed(NetworkFailure failure, const QString& reason) {
    Reply reply;
    reply.failure = failure;
    reply.reason = reason;
    return reply;
}

// Why the open failed, as precisely as can be found: the library says little (one errno for a
// wrong password, a refused share and a Kerberos set-up problem), so a missing file is told
// from a missing share by opening the share itself, and a refusal is looked at with a
// connection to the same machine's service manager pipe, which reports the exact status.
Reply diagnose(SMBCCTX* context, const WorkerMessages::Setup& setup, const WorkerMessages::Job& job,
               const QByteArray& address, const Fetch& fetched) {
    if (fetched.error == ETIMEDOUT)
        return failed(NetworkFailure::TimedOut,
                      QStringLiteral("no answer within %1 s").arg(setup.timeoutSeconds));
    if (fetched.error == ENOENT || fetched.error == ENOTDIR) {
        const QByteArray share =
            QStringLiteral("smb://%1/%2/").arg(job.machine, SmbShareFile::kShareName).toUtf8();
        SMBCFILE* dir = smbc_getFunctionOpendir(context)(context, share.constData());
        if (dir) {
            smbc_getFunctionClosedir(context)(context, dir);
            return failed(NetworkFailure::NotPublished,
                          QStringLiteral("the agent has not published its file yet"));
        }
        if (errno == ENOENT)
            return failed(
                NetworkFailure::NoShare,
                QStringLiteral("the machine has no share Vellumcrest$ (the agent is not installed there)"));
    }
    WorkerMessages::Job probe = job;
    probe.kind = WorkerMessages::JobKind::Prove;
    const Reply proved = WorkerJobs::serviceQuery(setup, probe, address);
    if (!proved.connected)
        return proved;
    if (fetched.error == EACCES || fetched.error == EPERM)
        return failed(NetworkFailure::Refused,
                      QStringLiteral("access denied: the account may not read the share "
                                     "Vellumcrest$ or its file"));
    return failed(NetworkFailure::Other,
                  QStringLiteral("the copy failed: ") + QString::fromLocal8Bit(std::strerror(fetched.error)));
}

} // namespace

namespace SmbShareFile {

bool passesQuickCheck(const QString& path) {
    // SQLite takes an empty file for an empty database; an agent file is never empty.
    if (QFileInfo(path).size() == 0)
        return false;
    try {
        FileDatabase copy(path, FileDatabase::Access::ReadOnly);
        copy.distrust();
        return copy.passesQuickCheck();
    } catch (const VcError&) {
        return false;
    }
}

Reply copy(const WorkerMessages::Setup& setup, const WorkerMessages::Job& job) {
    if (!MachineName::isValid(job.machine))
        return failed(NetworkFailure::Other, QStringLiteral("not a machine name"));
    QStringList parts;
    for (const QString& part : QString(job.relativePath)
                                   .replace(QLatin1Char('\\'), QLatin1Char('/'))
                                   .split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String(".") || part == QLatin1String("..") || part.contains(QChar(0)))
            return failed(NetworkFailure::Other, QStringLiteral("not a file name: ") + job.relativePath);
        parts << QString::fromLatin1(QUrl::toPercentEncoding(part));
    }
    if (parts.isEmpty())
        return failed(NetworkFailure::Other, QStringLiteral("not a file name: ") + job.relativePath);
    const SmbPortAnswer port = smbPortAddress(job.machine, setup.timeoutSeconds);
    if (port.address.isEmpty())
        return failed(port.reason.failure, port.reason.text);

    const QString host = MachineName::isAddress(job.machine) && job.machine.contains(QLatin1Char(':'))
                             ? QLatin1Char('[') + job.machine + QLatin1Char(']')
                             : job.machine;
    const QByteArray url =
        QStringLiteral("smb://%1/%2/%3").arg(host, kShareName, parts.join(QLatin1Char('/'))).toUtf8();
    const QString path = job.folder + QLatin1Char('/') + kCopyName;
    const QByteArray native = QFile::encodeName(path);
    SMBCCTX* context = Client::instance().use(setup, job.principal);
    if (!context)
        return failed(NetworkFailure::Other, QStringLiteral("the SMB client library could not be set up"));

    // A copy caught while the agent replaced its file is taken once more, then given up.
    Reply reply = failed(NetworkFailure::Damaged, QString());
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd =
            ::open(native.constData(),
                   O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | (attempt == 0 ? O_EXCL : O_TRUNC), 0600);
        if (fd < 0)
            return failed(NetworkFailure::Other, QStringLiteral("the copy could not be written here: ") +
                                                     QString::fromLocal8Bit(std::strerror(errno)));
        const Fetch fetched = fetch(context, url, fd);
        Client::instance().done();
        const bool closed = ::close(fd) == 0;
        if (fetched.outcome == Outcome::Copied && closed && passesQuickCheck(path)) {
            reply = Reply();
            reply.connected = true;
            reply.path = path;
            return reply;
        }
        if (fetched.tooLarge) {
            reply = failed(NetworkFailure::Damaged, QStringLiteral("the agent file is larger than 1 GiB"));
            break;
        }
        if (fetched.localFailure || !closed) {
            reply = failed(NetworkFailure::Other,
                           QStringLiteral("the copy could not be written here (disk full?)"));
            break;
        }
        if (fetched.outcome == Outcome::Failed) {
            reply = diagnose(context, setup, job, port.address, fetched);
            break;
        }
        reply = failed(NetworkFailure::Damaged,
                       fetched.outcome == Outcome::Inconsistent
                           ? QStringLiteral("the agent file changed while it was copied (twice)")
                           : QStringLiteral("the agent file is damaged (it fails SQLite's quick check)"));
    }
    QFile::remove(path);
    return reply;
}

} // namespace SmbShareFile
