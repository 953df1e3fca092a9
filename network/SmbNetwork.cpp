// The real network back end: each step bounded by the configured timeout, several machines
// queried at once, answers handed to the caller in the order it asks for them.
#include "network/SmbNetwork.h"

#include "network/HostDomain.h"
#include "network/LdapDirectory.h"
#include "network/MachineName.h"
#include "network/SambaClientLock.h"
#include "network/ScmrClient.h"
#include "network/SmbPort.h"
#include "network/SmbShareFile.h"

#include <QFile>

namespace {

// Results that may wait untaken, per worker. Service lists are small: running far ahead lets
// the timeouts of many unreachable machines overlap. Share copies take disk space: a little
// ahead keeps every worker busy while the interface thread merges one.
constexpr int kServiceLookaheadPerWorker = 8;
constexpr int kFileLookaheadPerWorker = 2;

// A list file: one machine name per line, '#' comments, blank lines skipped.
std::optional<QStringList> readListFile(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return std::nullopt;
    }
    constexpr qint64 kMaxSize = 16 * 1024 * 1024;
    const QByteArray bytes = file.read(kMaxSize + 1);
    if (bytes.size() > kMaxSize) {
        *error = QStringLiteral("larger than 16 MiB");
        return std::nullopt;
    }
    QStringList names;
    for (const QString& raw : QString::fromUtf8(bytes).split(QLatin1Char('\n'))) {
        QString line = raw;
        const qsizetype hash = line.indexOf(QLatin1Char('#'));
        if (hash >= 0)
            line.truncate(hash);
        line = line.trimmed();
        if (line.startsWith(QChar(0xFEFF)))
            line.remove(0, 1);
        if (!line.isEmpty())
            names << line;
    }
    return names;
}

} // namespace

SmbNetwork::SmbNetwork(const QString& configFile)
    : m_config(SmbNetworkConfig::load(configFile)),
      m_credentials(m_config.useKerberos() ? SmbCredentials::kerberos()
                                           : SmbCredentials::load(m_config.credentials)) {
    const std::lock_guard lock(sambaClientMutex());
    VcScmrInit();
}

SmbNetwork::~SmbNetwork() {
    // Workers use the credentials and settings: stop them first.
    m_servicesAhead.reset();
    m_filesAhead.reset();
}

std::optional<QStringList> SmbNetwork::readMachines(QString* error) const {
    if (m_config.machinesFromDirectory())
        return LdapDirectory::computers(m_config.machines, m_credentials, m_config.timeoutSeconds, error);
    return readListFile(m_config.machines, error);
}

std::optional<QStringList> SmbNetwork::enumerateMachines() {
    m_servicesAhead.reset();
    QString error;
    const std::optional<QStringList> raw = readMachines(&error);
    if (!raw) {
        qWarning("Machines could not be listed: %s", qPrintable(error));
        return std::nullopt;
    }
    QStringList machines = MachineName::usable(*raw);
    if (m_config.machinesFromDirectory())
        std::stable_sort(machines.begin(), machines.end(), [](const QString& a, const QString& b) {
            return a.compare(b, Qt::CaseInsensitive) < 0;
        });
    m_servicesAhead = std::make_unique<OrderedPrefetch<ServiceList>>(
        machines, m_config.parallel, m_config.parallel * kServiceLookaheadPerWorker,
        [this](const QString& machine) { return queryServices(machine, kServiceStateAll); });
    return machines;
}

QString SmbNetwork::domainName() {
    std::lock_guard lock(m_domainMutex);
    if (!m_domain) {
        QString domain = m_config.domain;
        if (domain.isEmpty() && m_config.machinesFromDirectory())
            domain = LdapDirectory::domainOfBaseDn(LdapDirectory::baseDnOfUrl(m_config.machines));
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

Network::ServiceList SmbNetwork::queryServices(const QString& machine, int stateFilter) const {
    ServiceList list;
    list.stage = ServiceStage::ManagerUnavailable;
    if (!MachineName::isValid(machine))
        return list;
    const std::optional<QByteArray> address = smbPortAddress(machine, m_config.timeoutSeconds);
    if (!address)
        return list;

    const QByteArray host = machine.toUtf8();
    VcScmrRequest request = {};
    request.host = host.constData();
    request.address = address->constData();
    request.username = m_credentials.username().constData();
    request.domain = m_credentials.domain().constData();
    request.password = m_credentials.password();
    request.useKerberos = m_credentials.useKerberos() ? 1 : 0;
    request.timeoutSeconds = m_config.timeoutSeconds;
    request.stateFilter = uint32_t(stateFilter);
    VcScmrResult result = {};
    {
        const std::lock_guard lock(sambaClientMutex());
        VcScmrListServices(&request, &result);
    }
    switch (result.stage) {
    case VC_SCMR_OK:
        list.stage = ServiceStage::Ok;
        for (size_t i = 0; i < result.count; ++i)
            list.entries.append({QString::fromUtf8(result.entries[i].name), result.entries[i].state});
        break;
    case VC_SCMR_FIRST_CALL:
        list.stage = ServiceStage::FirstCall;
        list.errorCode = int(result.errorCode);
        break;
    case VC_SCMR_SECOND_CALL:
        list.stage = ServiceStage::SecondCall;
        list.errorCode = int(result.errorCode);
        break;
    default:
        break;
    }
    VcScmrResultFree(&result);
    return list;
}

void SmbNetwork::prefetchShareFiles(const QStringList& machines, const QString& relativePath) {
    m_filesAhead.reset();
    m_filesAheadPath = relativePath;
    m_filesAhead = std::make_unique<OrderedPrefetch<std::shared_ptr<ShareFileCopy>>>(
        machines, m_config.parallel, m_config.parallel * kFileLookaheadPerWorker,
        [this, relativePath](const QString& machine) -> std::shared_ptr<ShareFileCopy> {
            return SmbShareFile::copy(machine, relativePath, m_credentials, m_config.timeoutSeconds);
        });
}

std::unique_ptr<ShareFileCopy> SmbNetwork::openShareFile(const QString& machine,
                                                         const QString& relativePath) {
    if (m_filesAhead && relativePath == m_filesAheadPath) {
        if (std::optional<std::shared_ptr<ShareFileCopy>> ready = m_filesAhead->take(machine))
            return *ready ? std::make_unique<HeldShareFileCopy>(std::move(*ready)) : nullptr;
    }
    return SmbShareFile::copy(machine, relativePath, m_credentials, m_config.timeoutSeconds);
}
