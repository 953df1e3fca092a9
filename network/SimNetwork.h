// The simulated network: a folder written by the agent stand-in (or by a site that mounts its
// workstations' shares in one place), read as if it were the domain's machines.
#pragma once

#include "network/Network.h"
#include "network/OrderedPrefetch.h"

#include <QHash>
#include <QString>

class SimNetwork : public Network {
public:
    // dir holds network.ini and one folder per machine.
    explicit SimNetwork(QString dir);

    std::optional<QStringList> enumerateMachines() override;
    QString domainName() override;
    ServiceList services(const QString& machine, int stateFilter) override;
    ShareFile openShareFile(const QString& machine, const QString& relativePath) override;
    // Copies the files a few machines ahead on a worker thread, so that copying overlaps the
    // merge of the machine before.
    void prefetchShareFiles(const QStringList& machines, const QString& relativePath) override;

    QString dir() const { return m_dir; }

    // The Windows error for a state filter that is not 1, 2 or 3.
    static constexpr int kErrorInvalidParameter = 87;
    // The answer the size query is expected to give.
    static constexpr int kErrorMoreData = 234;

private:
    // key=value pairs of network.ini; nothing when the file cannot be read.
    std::optional<QHash<QString, QString>> readNetworkIni() const;
    // The machine's own folder, or empty when the name cannot name one safely.
    QString machineFolder(const QString& machine) const;
    ShareFile copyShareFile(const QString& machine, const QString& relativePath) const;

    QString m_dir;
    std::unique_ptr<OrderedPrefetch<ShareFile>> m_filesAhead;
    QString m_filesAheadPath;
};
