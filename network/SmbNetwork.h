// A real Windows network reached from Linux: machines from a directory or a list file, service
// states over the service-control pipe, agent files over SMB, several machines at once.
#pragma once

#include "network/Network.h"
#include "network/OrderedPrefetch.h"
#include "network/SmbCredentials.h"
#include "network/SmbNetworkConfig.h"

#include <mutex>

class SmbNetwork : public Network {
public:
    // Reads the settings file and the credentials it names; throws VcError when either is
    // unusable (no machine is contacted here).
    explicit SmbNetwork(const QString& configFile);
    ~SmbNetwork() override;

    std::optional<QStringList> enumerateMachines() override;
    QString domainName() override;
    ServiceList services(const QString& machine, int stateFilter) override;
    std::unique_ptr<ShareFileCopy> openShareFile(const QString& machine,
                                                 const QString& relativePath) override;
    void prefetchShareFiles(const QStringList& machines, const QString& relativePath) override;

    const SmbNetworkConfig& config() const { return m_config; }

    // One machine's service list, straight from the machine: what the workers run.
    ServiceList queryServices(const QString& machine, int stateFilter) const;

private:
    std::optional<QStringList> readMachines(QString* error) const;

    SmbNetworkConfig m_config;
    SmbCredentials m_credentials;
    std::mutex m_domainMutex;
    std::optional<QString> m_domain;
    // The scan and the status check ask for every enumerated machine's full list in order.
    std::unique_ptr<OrderedPrefetch<ServiceList>> m_servicesAhead;
    std::unique_ptr<OrderedPrefetch<std::shared_ptr<ShareFileCopy>>> m_filesAhead;
    QString m_filesAheadPath;
};
