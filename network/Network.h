// The one interface to the monitored network: which machines there are, the domain name,
// each machine's service list, and a consistent read-only copy of a file on its share.
// Machine names compare without regard to letter case in every back end, as Windows does.
#pragma once

#include <memory>
#include <optional>
#include <QList>
#include <QString>
#include <QStringList>

// A local, consistent, read-only copy of a share file; the copy is removed with this object.
class ShareFileCopy {
public:
    virtual ~ShareFileCopy() = default;
    virtual QString path() const = 0;
};

// A copy shared with a prefetch queue, handed to a caller that expects sole ownership.
class HeldShareFileCopy : public ShareFileCopy {
public:
    explicit HeldShareFileCopy(std::shared_ptr<ShareFileCopy> copy) : m_copy(std::move(copy)) {}
    QString path() const override { return m_copy->path(); }

private:
    std::shared_ptr<ShareFileCopy> m_copy;
};

// Machine names compare without regard to letter case from end to end: every back end finds a
// machine whatever the spelling the caller (the registry, the operator) uses.
class Network {
public:
    // Service-state filters of the service enumeration.
    static constexpr int kServiceActive = 1;
    static constexpr int kServiceInactive = 2;
    static constexpr int kServiceStateAll = 3;

    struct ServiceEntry {
        QString name;
        int state = 0; // 1 stopped .. 7 paused
    };

    // Where a service-list request stopped.
    enum class ServiceStage {
        Ok,                 // entries holds the list
        ManagerUnavailable, // the service manager could not be opened (unreachable, access refused)
        FirstCall,          // the size query did not answer "more data" (errorCode says what it did)
        SecondCall,         // the listing call failed (errorCode)
    };

    struct ServiceList {
        ServiceStage stage = ServiceStage::Ok;
        int errorCode = 0;
        QList<ServiceEntry> entries;
    };

    virtual ~Network() = default;

    // Every machine name at once, in the network's order; nothing when enumeration fails.
    virtual std::optional<QStringList> enumerateMachines() = 0;

    // The domain name of this computer; empty when unknown.
    virtual QString domainName() = 0;

    // The machine's services for a state filter.
    virtual ServiceList services(const QString& machine, int stateFilter) = 0;

    // A read-only copy of relativePath (e.g. "Data/VCWorkstation.mdb") on the machine's share
    // "Vellumcrest$"; nothing when the share or file cannot be reached.
    virtual std::unique_ptr<ShareFileCopy> openShareFile(const QString& machine,
                                                         const QString& relativePath) = 0;

    // Says that openShareFile will be asked for relativePath of these machines, in this order,
    // so that a back end with slow machines may fetch several at once ahead of the caller.
    // The answers stay the same; back ends that gain nothing from it ignore it.
    virtual void prefetchShareFiles(const QStringList& machines, const QString& relativePath) {
        Q_UNUSED(machines);
        Q_UNUSED(relativePath);
    }
};
