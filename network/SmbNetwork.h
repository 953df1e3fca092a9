// A real Windows network reached from Linux: machines from a directory or a list file, service
// states over the service-control pipe, agent files over SMB, several machines at once in
// worker processes, answers handed to the caller in the order it asks for them.
#pragma once

#include "network/CredentialGate.h"
#include "network/MachineName.h"
#include "network/Network.h"
#include "network/OrderedPrefetch.h"
#include "network/SmbCredentials.h"
#include "network/SmbNetworkConfig.h"
#include "network/WorkerMessages.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <QTemporaryDir>

class WorkerPool;

class SmbNetwork : public Network {
public:
    // Reads the settings file and the credentials it names; throws VcError when either is
    // unusable (no machine is contacted here). From here on the process cannot be dumped.
    explicit SmbNetwork(const QString& configFile);
    ~SmbNetwork() override;

    std::optional<QStringList> enumerateMachines() override;
    QString problem() const override;
    QString domainName() override;
    ServiceList services(const QString& machine, int stateFilter) override;
    ShareFile openShareFile(const QString& machine, const QString& relativePath) override;
    void prefetchServices(const QStringList& machines) override;
    void prefetchShareFiles(const QStringList& machines, const QString& relativePath) override;

    const SmbNetworkConfig& config() const { return m_config; }
    // Names refused by the last enumeration, with the reasons.
    QList<MachineName::Skipped> skippedNames() const override { return m_skipped; }

    // The directory's computers read in pages of pageSize (for tests of the paging).
    std::optional<QStringList> directoryComputers(int pageSize);

private:
    WorkerMessages::Reply run(const WorkerMessages::Job& job);
    // Kerberos: the account's ticket, obtained (or renewed) now when needed.
    bool ensureAccount();
    // NTLM: lets the first machines decide whether the account is good, one logon at a time,
    // before the run goes wide.
    void proveOn(const QStringList& machines);
    ServiceList queryServices(const QString& machine, int stateFilter);
    ShareFile fetchFile(const QString& machine, const QString& relativePath);
    void setProblem(const QString& text);
    WorkerMessages::Job job(WorkerMessages::JobKind kind, const QString& machine = QString()) const;

    SmbNetworkConfig m_config;
    SmbCredentials m_credentials;
    QByteArray m_principal; // Kerberos: the account as it asks for its ticket, then as the ticket names it
    std::unique_ptr<QTemporaryDir> m_private;
    CredentialGate m_gate;
    std::unique_ptr<WorkerPool> m_pool;
    std::mutex m_logonMutex;
    std::chrono::steady_clock::time_point m_logonAt;
    bool m_loggedOn = false;
    mutable std::mutex m_problemMutex;
    QString m_problem;
    QList<MachineName::Skipped> m_skipped;
    std::mutex m_domainMutex;
    std::optional<QString> m_domain;
    // The scan and the status check ask for every enumerated machine's full list in order.
    std::unique_ptr<OrderedPrefetch<WorkerMessages::Reply>> m_proofs;
    std::unique_ptr<OrderedPrefetch<ServiceList>> m_servicesAhead;
    std::unique_ptr<OrderedPrefetch<ShareFile>> m_filesAhead;
    QString m_filesAheadPath;
};
