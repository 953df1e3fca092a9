// The real network back end: every machine's work in a worker process under one deadline,
// Parallel machines at once, the account proven before the run goes wide and never tried again
// once it was refused.
#include "network/SmbNetwork.h"

#include "base/VcError.h"
#include "network/HostDomain.h"
#include "network/LdapDirectory.h"
#include "network/MachineList.h"
#include "network/ScmrClient.h"
#include "network/ShareCopies.h"
#include "network/SmbShareFile.h"
#include "network/WorkerPool.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <future>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

using WorkerMessages::Job;
using WorkerMessages::JobKind;
using WorkerMessages::Reply;

// Results that may wait untaken, per worker. Service lists are small: running far ahead lets
// the timeouts of many unreachable machines overlap. Share copies take disk space: a little
// ahead keeps every worker busy while the interface thread merges one.
constexpr int kServiceLookaheadPerWorker = 8;
constexpr int kFileLookaheadPerWorker = 2;
// The account's ticket is renewed this often (domains issue them for 10 hours by default).
constexpr auto kTicketRenewal = std::chrono::minutes(30);

bool onInterfaceThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void writeFile(const QString& path, const QByteArray& text) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size() ||
        !file.flush())
        throw VcError(ErrorNumber::FileFailure,
                      QStringLiteral("Cannot write ") + path + QStringLiteral(": ") + file.errorString());
}

void addParameter(const char* name, const char* value, void* context) {
    *static_cast<QByteArray*>(context) += QByteArray("    ") + name + " = " + value + '\n';
}

// The copy a worker wrote into a copy folder, removed with its folder.
class WorkerCopy : public ShareFileCopy {
public:
    WorkerCopy(std::unique_ptr<QTemporaryDir> folder, QString path)
        : m_folder(std::move(folder)), m_path(std::move(path)) {}
    ~WorkerCopy() override { QFile::remove(m_path); }
    QString path() const override { return m_path; }

private:
    std::unique_ptr<QTemporaryDir> m_folder;
    QString m_path;
};

Network::ServiceList serviceList(const Reply& reply) {
    Network::ServiceList list;
    list.stage = reply.stage == VC_SCMR_OK            ? Network::ServiceStage::Ok
                 : reply.stage == VC_SCMR_FIRST_CALL  ? Network::ServiceStage::FirstCall
                 : reply.stage == VC_SCMR_SECOND_CALL ? Network::ServiceStage::SecondCall
                                                      : Network::ServiceStage::ManagerUnavailable;
    if (reply.failure != NetworkFailure::None)
        list.stage = Network::ServiceStage::ManagerUnavailable;
    list.errorCode = int(reply.errorCode);
    list.entries = reply.entries;
    list.failure = reply.failure;
    list.reason = reply.reason;
    return list;
}

Network::ServiceList unavailable(NetworkFailure failure, const QString& reason) {
    Network::ServiceList list;
    list.stage = Network::ServiceStage::ManagerUnavailable;
    list.failure = failure;
    list.reason = reason;
    return list;
}

ShareFile noFile(NetworkFailure failure, const QString& reason) {
    ShareFile file;
    file.failure = failure;
    file.reason = reason;
    return file;
}

// The Kerberos principal the account asks its ticket for: user@REALM, or a UPN as written
// (its '@' escaped) in the realm, which the domain canonicalises.
QByteArray principalOf(const SmbCredentials& credentials, const QString& realm) {
    QByteArray user = credentials.username();
    user.replace('\\', "\\\\").replace('@', "\\@");
    return user + '@' + realm.toUtf8();
}

} // namespace

SmbNetwork::SmbNetwork(const QString& configFile)
    : m_config(SmbNetworkConfig::load(configFile)),
      m_credentials(m_config.useTicketCache() ? SmbCredentials::kerberos()
                                              : SmbCredentials::load(m_config.credentials)) {
    // The password is in this process from here on, and Samba's libraries leave copies of it
    // in freed memory of the workers: no core files, no debugger of the same user.
    ::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    const rlimit none = {0, 0};
    ::setrlimit(RLIMIT_CORE, &none);

    if (m_config.kerberos() && !m_config.useTicketCache()) {
        // The realm: the settings, the directory, or the UPN's domain; never a NetBIOS domain
        // name (Samba would take "CORP" for the realm, fail, and fall back to NTLM).
        QString realm = m_config.settingsRealm();
        if (realm.isEmpty() && m_credentials.isUpn())
            realm =
                QString::fromUtf8(m_credentials.username().mid(m_credentials.username().lastIndexOf('@') + 1))
                    .toUpper();
        if (realm.isEmpty() && m_credentials.domain().contains('.'))
            realm = QString::fromUtf8(m_credentials.domain()).toUpper();
        if (realm.isEmpty())
            throw VcError(
                ErrorNumber::InvalidArgument,
                QStringLiteral("Network settings ") + configFile +
                    QStringLiteral(": Kerberos needs the domain's realm: add Realm = (e.g. CORP.EXAMPLE), "
                                   "give the user name as a UPN, or set Authentication = ntlm"));
        m_principal = principalOf(m_credentials, realm);
    }

    // The workers' private home: their Samba settings, the ticket cache, Kerberos' settings.
    m_private = ShareCopies::newCopyFolder();
    if (!m_private)
        throw VcError(ErrorNumber::FileFailure,
                      QStringLiteral("No private folder for the network could be made"));
    const QDir home(m_private->filePath(QStringLiteral("home")));
    const QString samba = m_private->filePath(QStringLiteral("samba"));
    if (!QDir().mkpath(home.filePath(QStringLiteral(".smb"))) || !QDir().mkpath(samba))
        throw VcError(ErrorNumber::FileFailure,
                      QStringLiteral("No private folder for the network could be made"));
    QByteArray smbConf = "[global]\n";
    VcSambaClientParameters(m_config.kerberos(),
                            m_config.encryption == SmbNetworkConfig::Encryption::Required, addParameter,
                            &smbConf);
    for (const char* folder :
         {"cache directory", "lock directory", "state directory", "private dir", "ncalrpc dir"})
        addParameter(folder, QFile::encodeName(samba).constData(), &smbConf);
    writeFile(home.filePath(QStringLiteral(".smb/smb.conf")), smbConf);
    // Names are used as written: no DNS canonicalisation, no reverse lookup, for the tickets.
    const QString krb5Conf = m_private->filePath(QStringLiteral("krb5.conf"));
    writeFile(krb5Conf, "[libdefaults]\n    dns_canonicalize_hostname = false\n    rdns = false\n"
                        "    allow_weak_crypto = false\n");

    WorkerPool::Settings settings;
    settings.timeoutSeconds = m_config.timeoutSeconds;
    settings.size = m_config.parallel;
    settings.launch.folder = m_private->path();
    QStringList configs{krb5Conf};
    const QString siteConfig = qEnvironmentVariable("KRB5_CONFIG", QStringLiteral("/etc/krb5.conf"));
    for (const QString& file : siteConfig.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        if (QFileInfo::exists(file))
            configs << file;
    QStringList& env = settings.launch.environment;
    env << QStringLiteral("PATH=/usr/bin:/bin") << QStringLiteral("LANG=C.UTF-8")
        << QStringLiteral("HOME=") + home.path() << QStringLiteral("LDAPNOINIT=1")
        << QStringLiteral("KRB5_CONFIG=") + configs.join(QLatin1Char(':'));
    const QString ccache = m_config.useTicketCache()
                               ? qEnvironmentVariable("KRB5CCNAME")
                               : QStringLiteral("FILE:") + m_private->filePath(QStringLiteral("ccache"));
    if (!ccache.isEmpty())
        env << QStringLiteral("KRB5CCNAME=") + ccache;
    // What the user chose for how programs run; nothing that steers the network libraries.
    for (const char* name :
         {"TZ", "TMPDIR", "LD_LIBRARY_PATH", "LD_PRELOAD", "ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"})
        if (qEnvironmentVariableIsSet(name))
            env << QString::fromLatin1(name) + QLatin1Char('=') + qEnvironmentVariable(name);

    WorkerMessages::Setup setup;
    setup.kerberos = m_config.kerberos();
    setup.requireEncryption = m_config.encryption == SmbNetworkConfig::Encryption::Required;
    setup.timeoutSeconds = m_config.timeoutSeconds;
    setup.username = m_credentials.username();
    setup.domain = m_credentials.isUpn() ? QByteArray() : m_credentials.domain();
    setup.ccache = ccache;
    setup.caCertificate = m_config.caCertificate;
    settings.launch.setup = WorkerMessages::encode(setup);
    m_pool = std::make_unique<WorkerPool>(std::move(settings), m_gate,
                                          [this] { return m_credentials.password(); });
}

SmbNetwork::~SmbNetwork() {
    // Running jobs end at once; then the threads that ran them, then the workers.
    m_pool->stop();
    m_proofs.reset();
    m_servicesAhead.reset();
    m_filesAhead.reset();
    m_pool.reset();
}

Reply SmbNetwork::run(const Job& job) {
    if (!onInterfaceThread())
        return m_pool->run(job);
    // On the interface thread the wait keeps painting the windows, without taking input.
    std::packaged_task<Reply()> task([this, &job] { return m_pool->run(job); });
    std::future<Reply> reply = task.get_future();
    std::thread runner(std::move(task));
    while (reply.wait_for(std::chrono::milliseconds(30)) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    runner.join();
    return reply.get();
}

Job SmbNetwork::job(JobKind kind, const QString& machine) const {
    Job job;
    job.kind = kind;
    job.machine = machine;
    job.principal = m_principal;
    return job;
}

void SmbNetwork::setProblem(const QString& text) {
    const std::lock_guard lock(m_problemMutex);
    m_problem = text;
}

QString SmbNetwork::problem() const {
    const QString refusal = m_gate.refusal();
    if (!refusal.isEmpty())
        return refusal;
    const std::lock_guard lock(m_problemMutex);
    return m_problem;
}

bool SmbNetwork::ensureAccount() {
    if (m_gate.refused())
        return false;
    if (!m_config.kerberos())
        return true;
    const std::lock_guard lock(m_logonMutex);
    if (m_gate.refused())
        return false;
    if (m_loggedOn && std::chrono::steady_clock::now() - m_logonAt < kTicketRenewal)
        return true;
    Job logon = job(JobKind::Logon);
    logon.usePassword = !m_config.useTicketCache();
    const Reply reply = run(logon);
    if (reply.failure == NetworkFailure::None) {
        m_principal = reply.principal;
        m_loggedOn = true;
        m_logonAt = std::chrono::steady_clock::now();
        m_gate.accept();
        return true;
    }
    if (reply.failure == NetworkFailure::Logon)
        m_gate.refuse(reply.reason);
    else
        setProblem(reply.reason);
    return false;
}

void SmbNetwork::proveOn(const QStringList& machines) {
    if (m_config.kerberos() || m_gate.decided() || machines.isEmpty())
        return;
    // The first machines race to the logon, but only one at a time gets the password; the
    // rest of the run waits for the verdict. A list whose first machines all stay silent is
    // not tried to its end here: the gate still lets one logon through at a time later.
    // Proofs still waiting on silent machines when the verdict comes finish on their own
    // (each within its deadline) while the run goes on.
    const QStringList candidates = machines.mid(0, 2 * m_config.parallel);
    m_proofs = std::make_unique<OrderedPrefetch<Reply>>(
        candidates, m_config.parallel, m_config.parallel, [this](const QString& machine) {
            return m_gate.decided() ? Reply() : run(job(JobKind::Prove, MachineName::normalised(machine)));
        });
    for (const QString& machine : candidates) {
        m_proofs->take(machine);
        if (m_gate.decided())
            break;
    }
}

std::optional<QStringList> SmbNetwork::directoryComputers(int pageSize) {
    setProblem(QString());
    if (!ensureAccount())
        return std::nullopt;
    Job enumerate = job(JobKind::Enumerate);
    enumerate.urls = m_config.directories;
    enumerate.pageSize = pageSize;
    const Reply reply = run(enumerate);
    if (reply.failure != NetworkFailure::None) {
        if (reply.failure != NetworkFailure::Logon && reply.failure != NetworkFailure::Stopped)
            setProblem(QStringLiteral("the directory could not be read: ") + reply.reason);
        return std::nullopt;
    }
    return reply.names;
}

std::optional<QStringList> SmbNetwork::enumerateMachines() {
    m_servicesAhead.reset();
    setProblem(QString());
    m_skipped.clear();
    QStringList raw;
    if (m_config.machinesFromDirectory()) {
        const std::optional<QStringList> names = directoryComputers(500);
        if (!names)
            return std::nullopt;
        raw = *names;
    } else {
        try {
            const MachineList::Contents contents = MachineList::read(m_config.listFile);
            raw = contents.names;
            m_skipped = contents.skipped;
        } catch (const VcError& error) {
            setProblem(error.description());
            return std::nullopt;
        }
    }
    QStringList machines = MachineName::usable(raw, &m_skipped);
    if (m_config.machinesFromDirectory())
        std::stable_sort(machines.begin(), machines.end(), [](const QString& a, const QString& b) {
            return a.compare(b, Qt::CaseInsensitive) < 0;
        });
    if (!ensureAccount())
        return std::nullopt;
    prefetchServices(machines);
    // NTLM: the first queries decide whether the account is good, one logon at a time (the
    // gate); a refusal fails the enumeration as a whole before anything is listed. Waiting
    // ends with the verdict, or when the first machines are done without one, or after one
    // machine's deadline.
    if (!m_config.kerberos() && m_servicesAhead) {
        const auto deadline =
            std::chrono::steady_clock::now() +
            std::chrono::seconds(WorkerPool::deadlineSeconds(JobKind::Services, m_config.timeoutSeconds));
        const qsizetype first = std::min<qsizetype>(machines.size(), 2 * m_config.parallel);
        while (!m_gate.decided() && m_servicesAhead->finished() < first &&
               std::chrono::steady_clock::now() < deadline) {
            m_gate.waitDecided(std::chrono::milliseconds(30));
            if (onInterfaceThread())
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
        if (m_gate.refused()) {
            m_servicesAhead.reset();
            return std::nullopt;
        }
    }
    return machines;
}

void SmbNetwork::prefetchServices(const QStringList& machines) {
    m_servicesAhead.reset();
    if (machines.isEmpty())
        return;
    m_servicesAhead = std::make_unique<OrderedPrefetch<ServiceList>>(
        machines, m_config.parallel, m_config.parallel * kServiceLookaheadPerWorker,
        [this](const QString& machine) { return queryServices(machine, kServiceStateAll); });
}

QString SmbNetwork::domainName() {
    std::lock_guard lock(m_domainMutex);
    if (!m_domain) {
        QString domain = m_config.domain;
        if (domain.isEmpty() && m_config.machinesFromDirectory())
            domain = LdapDirectory::domainOfBaseDn(LdapDirectory::baseDnOfUrl(m_config.directories.first()));
        if (domain.isEmpty())
            domain = hostDomainName();
        m_domain = domain;
    }
    return *m_domain;
}

Network::ServiceList SmbNetwork::services(const QString& machine, int stateFilter) {
    if (stateFilter == kServiceStateAll && m_servicesAhead) {
        if (std::optional<ServiceList> ready = m_servicesAhead->take(machine))
            return *ready;
    }
    return queryServices(machine, stateFilter);
}

Network::ServiceList SmbNetwork::queryServices(const QString& machine, int stateFilter) {
    if (!MachineName::isValid(machine))
        return unavailable(NetworkFailure::Other, QStringLiteral("not a machine name"));
    if (m_gate.refused())
        return unavailable(NetworkFailure::Stopped, QStringLiteral("not tried: ") + m_gate.refusal());
    if (!ensureAccount())
        return unavailable(NetworkFailure::Setup, problem());
    Job query = job(JobKind::Services, MachineName::normalised(machine));
    query.stateFilter = stateFilter;
    return serviceList(run(query));
}

void SmbNetwork::prefetchShareFiles(const QStringList& machines, const QString& relativePath) {
    m_filesAhead.reset();
    m_filesAheadPath = relativePath;
    QStringList valid;
    for (const QString& machine : machines)
        if (MachineName::isValid(machine))
            valid << machine;
    if (ensureAccount())
        proveOn(valid);
    m_filesAhead = std::make_unique<OrderedPrefetch<ShareFile>>(
        machines, m_config.parallel, m_config.parallel * kFileLookaheadPerWorker,
        [this, relativePath](const QString& machine) { return fetchFile(machine, relativePath); });
}

ShareFile SmbNetwork::openShareFile(const QString& machine, const QString& relativePath) {
    if (m_filesAhead && relativePath == m_filesAheadPath) {
        if (std::optional<ShareFile> ready = m_filesAhead->take(machine))
            return std::move(*ready);
    }
    return fetchFile(machine, relativePath);
}

ShareFile SmbNetwork::fetchFile(const QString& machine, const QString& relativePath) {
    if (!MachineName::isValid(machine))
        return noFile(NetworkFailure::Other, QStringLiteral("not a machine name"));
    if (m_gate.refused())
        return noFile(NetworkFailure::Stopped, QStringLiteral("not tried: ") + m_gate.refusal());
    if (!ensureAccount())
        return noFile(m_gate.refused() ? NetworkFailure::Logon : NetworkFailure::Setup, problem());
    const QString name = MachineName::normalised(machine);
    if (!m_gate.accepted()) {
        // NTLM before any machine accepted the account: this machine decides first (the
        // copy's library cannot wait for the verdict in the middle of its logon).
        const Reply proof = run(job(JobKind::Prove, name));
        if (!m_gate.accepted())
            return noFile(proof.failure == NetworkFailure::None ? NetworkFailure::Other : proof.failure,
                          proof.reason);
    }
    std::unique_ptr<QTemporaryDir> folder = ShareCopies::newCopyFolder();
    if (!folder)
        return noFile(NetworkFailure::Other, QStringLiteral("no folder for the copy could be made here"));
    Job copy = job(JobKind::Copy, name);
    copy.relativePath = relativePath;
    copy.folder = folder->path();
    copy.maxFileSize = SmbShareFile::kMaxFileSize;
    const Reply reply = run(copy);
    if (reply.failure != NetworkFailure::None)
        return noFile(reply.failure, reply.reason);
    // The worker names the file it wrote; it must be that one, a plain file of ours.
    const QString expected = folder->filePath(SmbShareFile::kCopyName);
    struct stat info = {};
    if (reply.path != expected || ::lstat(QFile::encodeName(expected).constData(), &info) != 0 ||
        !S_ISREG(info.st_mode) || info.st_uid != ::geteuid())
        return noFile(NetworkFailure::Other, QStringLiteral("the copy is not where it should be"));
    QFile::setPermissions(expected, QFile::ReadOwner);
    ShareFile file;
    file.copy = std::make_shared<WorkerCopy>(std::move(folder), expected);
    return file;
}
