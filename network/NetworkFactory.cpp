// Chooses the network back end for a --network value.
#include "network/NetworkFactory.h"

#include "base/VcError.h"
#include "network/HostDomain.h"
#include "network/SimNetwork.h"
#include "network/SmbNetwork.h"

#include <QDir>
#include <QFileInfo>

namespace {

// No network configured: every enumeration fails as a whole and no machine answers.
class NoNetwork : public Network {
public:
    bool configured() const override { return false; }
    std::optional<QStringList> enumerateMachines() override { return std::nullopt; }
    QString domainName() override { return hostDomainName(); }
    QString problem() const override { return QStringLiteral("no network is configured"); }
    ServiceList services(const QString&, int) override {
        ServiceList list;
        list.stage = ServiceStage::ManagerUnavailable;
        list.failure = NetworkFailure::Unreachable;
        list.reason = problem();
        return list;
    }
    ShareFile openShareFile(const QString&, const QString&) override {
        ShareFile file;
        file.failure = NetworkFailure::Unreachable;
        file.reason = problem();
        return file;
    }
};

} // namespace

std::unique_ptr<Network> createNetwork(const QString& source, const QString& programFolder) {
    if (source.isEmpty()) {
        const QString folder = QDir(programFolder).filePath(QStringLiteral("Network"));
        if (!programFolder.isEmpty() && QFileInfo(folder).isDir())
            return std::make_unique<SimNetwork>(folder);
        return std::make_unique<NoNetwork>();
    }
    if (source.startsWith(QLatin1String("sim:"))) {
        const QString dir = source.mid(4);
        if (dir.isEmpty())
            throw VcError(ErrorNumber::InvalidArgument,
                          QStringLiteral("The network source \"sim:\" names no folder"));
        return std::make_unique<SimNetwork>(QDir::cleanPath(dir));
    }
    if (source.startsWith(QLatin1String("smb:"))) {
        const QString file = source.mid(4);
        if (file.isEmpty())
            throw VcError(ErrorNumber::InvalidArgument,
                          QStringLiteral("The network source \"smb:\" names no settings file"));
        return std::make_unique<SmbNetwork>(file);
    }
    throw VcError(ErrorNumber::InvalidArgument, QStringLiteral("Unknown network source: ") + source);
}
