// Share file copies over SMB: one libsmbclient context per copy, so copies run on any thread.
#include "network/SmbShareFile.h"

#include "base/VcError.h"
#include "network/MachineName.h"
#include "network/SambaClientLock.h"
#include "network/ShareCopies.h"
#include "network/SmbCredentials.h"
#include "network/SmbPort.h"
#include "store/FileDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <libsmbclient.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The client must not follow the host's smb.conf nor share the host's Samba caches (a name
// cached there may point at an address the machine no longer has), and must resolve names
// through DNS and the hosts file only, never by broadcasting NetBIOS queries on the network.
const char kClientConfig[] = "[global]\n"
                             "    name resolve order = host\n"
                             "    name cache timeout = 0\n"
                             "    client min protocol = SMB2_02\n"
                             "    log level = 0\n"
                             "    cache directory = %1\n"
                             "    lock directory = %1\n"
                             "    state directory = %1\n";

struct Auth {
    const SmbCredentials* credentials = nullptr;
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
    const auto* auth = static_cast<const Auth*>(smbc_getOptionUserData(context));
    if (!auth || !auth->credentials || auth->credentials->useKerberos())
        return;
    const SmbCredentials& c = *auth->credentials;
    copyInto(workgroup, workgroupSize, c.domain().constData(), size_t(c.domain().size()));
    copyInto(user, userSize, c.username().constData(), size_t(c.username().size()));
    copyInto(password, passwordSize, c.password(), std::strlen(c.password()));
}

// The process's one libsmbclient context. The library's configuration is process-wide and is
// dropped when its last context goes, and every new context re-opens the library's log (a
// small leak each time): one context, made on first use and kept, avoids both. Used only
// with sambaClientMutex() held.
class Client {
public:
    static Client* instance() {
        static Client client;
        return client.m_context ? &client : nullptr;
    }

    // Prepares the context for one copy with these credentials.
    SMBCCTX* use(const SmbCredentials& credentials, int timeoutSeconds) {
        m_auth.credentials = &credentials;
        smbc_setTimeout(m_context, timeoutSeconds * 1000);
        smbc_setOptionUseKerberos(m_context, credentials.useKerberos());
        smbc_setOptionFallbackAfterKerberos(m_context, !credentials.useKerberos());
        return m_context;
    }

    // Closes the connections of the last copy: the next machine's copy needs none of them,
    // and a run over many machines must not keep one open per machine.
    void done() {
        smbc_getFunctionPurgeCachedServers(m_context)(m_context);
        m_auth.credentials = nullptr;
    }

private:
    Client() {
        if (!m_folder.isValid())
            return;
        const QString path = m_folder.filePath(QStringLiteral("smb.conf"));
        QFile file(path);
        const QByteArray text = QString::fromLatin1(kClientConfig).arg(m_folder.path()).toUtf8();
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            return;
        file.close();
        SMBCCTX* context = smbc_new_context();
        if (!context)
            return;
        smbc_setDebug(context, 0);
        smbc_setOptionUserData(context, &m_auth);
        smbc_setFunctionAuthDataWithContext(context, authenticate);
        smbc_setOptionNoAutoAnonymousLogin(context, true);
        if (!smbc_init_context(context)) {
            smbc_free_context(context, 1);
            return;
        }
        if (smbc_setConfiguration(context, QFile::encodeName(path).constData()) != 0) {
            smbc_free_context(context, 1);
            return;
        }
        m_context = context;
    }
    // The context lives as long as the process: the library's state ends with it.
    ~Client() = default;

    QTemporaryDir m_folder{QDir::tempPath() + QStringLiteral("/vc-smbclient-XXXXXX")};
    Auth m_auth;
    SMBCCTX* m_context = nullptr;
};

enum class Outcome { Copied, Inconsistent, Failed };

// Reads the remote file through one open handle into fd.
Outcome fetch(SMBCCTX* context, const QByteArray& url, int fd) {
    SMBCFILE* remote = smbc_getFunctionOpen(context)(context, url.constData(), O_RDONLY, 0);
    if (!remote)
        return Outcome::Failed;
    Outcome outcome = Outcome::Copied;
    struct stat before = {};
    struct stat after = {};
    if (smbc_getFunctionFstat(context)(context, remote, &before) != 0) {
        smbc_getFunctionClose(context)(context, remote);
        return Outcome::Failed;
    }
    std::vector<char> buffer(1 << 16);
    qint64 total = 0;
    for (;;) {
        const ssize_t got = smbc_getFunctionRead(context)(context, remote, buffer.data(), buffer.size());
        if (got < 0) {
            outcome = Outcome::Failed;
            break;
        }
        if (got == 0)
            break;
        for (ssize_t written = 0; written < got;) {
            const ssize_t w = ::write(fd, buffer.data() + written, size_t(got - written));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                smbc_getFunctionClose(context)(context, remote);
                return Outcome::Failed;
            }
            written += w;
        }
        total += got;
    }
    if (outcome == Outcome::Copied) {
        if (smbc_getFunctionFstat(context)(context, remote, &after) != 0)
            outcome = Outcome::Failed;
        else if (after.st_size != before.st_size || total != before.st_size ||
                 after.st_mtime != before.st_mtime)
            outcome = Outcome::Inconsistent;
    }
    smbc_getFunctionClose(context)(context, remote);
    return outcome;
}

class PrivateCopy : public ShareFileCopy {
public:
    PrivateCopy(std::unique_ptr<QTemporaryDir> folder, QString path)
        : m_folder(std::move(folder)), m_path(std::move(path)) {}
    ~PrivateCopy() override { QFile::remove(m_path); }
    QString path() const override { return m_path; }

private:
    std::unique_ptr<QTemporaryDir> m_folder;
    QString m_path;
};

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

std::unique_ptr<ShareFileCopy> copy(const QString& machine, const QString& relativePath,
                                    const SmbCredentials& credentials, int timeoutSeconds) {
    if (!MachineName::isValid(machine))
        return nullptr;
    QStringList parts;
    for (const QString& part : QString(relativePath)
                                   .replace(QLatin1Char('\\'), QLatin1Char('/'))
                                   .split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String(".") || part == QLatin1String("..") || part.contains(QChar(0)))
            return nullptr;
        parts << QString::fromLatin1(QUrl::toPercentEncoding(part));
    }
    if (parts.isEmpty())
        return nullptr;
    // An unreachable machine costs its timeout here, outside the library's lock.
    if (!smbPortAddress(machine, timeoutSeconds))
        return nullptr;

    const QByteArray url =
        QStringLiteral("smb://%1/%2/%3").arg(machine, kShareName, parts.join(QLatin1Char('/'))).toUtf8();
    // The owner-only folder of this process's copies, which a later start removes should this
    // process be killed before it removes the copy itself.
    std::unique_ptr<QTemporaryDir> folder = ShareCopies::newCopyFolder();
    if (!folder)
        return nullptr;
    const QString path = folder->filePath(QStringLiteral("VCWorkstation.mdb"));
    const QByteArray native = QFile::encodeName(path);

    // A copy caught while the agent replaced its file is taken once more, then given up.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int fd =
            ::open(native.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0)
            return nullptr;
        Outcome outcome = Outcome::Failed;
        {
            const std::lock_guard lock(sambaClientMutex());
            if (Client* client = Client::instance()) {
                outcome = fetch(client->use(credentials, timeoutSeconds), url, fd);
                client->done();
            }
        }
        const bool closed = ::close(fd) == 0;
        if (outcome == Outcome::Failed || !closed)
            return nullptr;
        if (outcome == Outcome::Copied && passesQuickCheck(path))
            return std::make_unique<PrivateCopy>(std::move(folder), path);
    }
    QFile::remove(path);
    return nullptr;
}

} // namespace SmbShareFile
