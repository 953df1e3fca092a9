// The one interface to the monitored network: which machines there are, the domain name,
// each machine's service list, and a consistent read-only copy of a file on its share.
// Machine names compare without regard to letter case in every back end, as Windows does.
#pragma once

#include "network/MachineName.h"
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

// Why a machine's file or service list could not be had, or why a run stopped.
enum class NetworkFailure {
    None,
    Unreachable,  // no such name, no route, nothing listening on the port
    TimedOut,     // a step had no answer within the timeout
    Logon,        // the account itself was refused (wrong password, locked, disabled, expired)
    Refused,      // this machine refused the account (access denied)
    NoShare,      // the machine has no agent share
    NotPublished, // the share has no agent file yet
    Damaged,      // what came is damaged, too large, or not what was asked for
    Setup,        // the machines' or this computer's set-up (Kerberos names, clock, encryption)
    Stopped,      // not tried: the run stopped at a logon failure
    Other,
};

// A share file, or why there is none: `reason` is in the operator's words.
struct ShareFile {
    std::shared_ptr<ShareFileCopy> copy;
    NetworkFailure failure = NetworkFailure::None;
    QString reason;

    explicit operator bool() const { return copy != nullptr; }
    const ShareFileCopy* operator->() const { return copy.get(); }
    // The account was refused: nothing more is tried in this run.
    bool stopsRun() const { return failure == NetworkFailure::Logon || failure == NetworkFailure::Stopped; }
    // Nothing answered at all (as opposed to an answer that refused or lacked the file).
    bool unreachable() const {
        return failure == NetworkFailure::Unreachable || failure == NetworkFailure::TimedOut;
    }
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
        // Why the manager could not be opened, when a back end knows it.
        NetworkFailure failure = NetworkFailure::None;
        QString reason;
    };

    virtual ~Network() = default;

    // Every machine name at once, in the network's order; nothing when enumeration fails
    // (problem() says why).
    // False for the stand-in used when no network source is configured: nothing can be reached,
    // and the operator is told how to configure one instead of seeing an empty scan.
    virtual bool configured() const { return true; }

    // Every machine name at once, in the network's order; nothing when enumeration fails.
    virtual std::optional<QStringList> enumerateMachines() = 0;

    // Why the last enumeration failed or the last run stopped, in the operator's words; empty
    // when nothing went wrong as a whole.
    virtual QString problem() const { return QString(); }

    // Names the last enumeration left out as unusable (each with the reason), in its order.
    virtual QList<MachineName::Skipped> skippedNames() const { return {}; }

    // The domain name of this computer; empty when unknown.
    virtual QString domainName() = 0;

    // The machine's services for a state filter.
    virtual ServiceList services(const QString& machine, int stateFilter) = 0;

    // A read-only copy of relativePath (e.g. "Data/VCWorkstation.mdb") on the machine's share
    // "Vellumcrest$"; or why there is none.
    virtual ShareFile openShareFile(const QString& machine, const QString& relativePath) = 0;

    // Says that services(machine, kServiceStateAll) will be asked for these machines, in this
    // order (a status check of the registered machines), so that a back end with slow machines
    // may ask several at once; an empty list drops what is still ahead. The answers stay the
    // same; back ends that gain nothing from it ignore it. Enumerating does the same for the
    // machines it lists.
    virtual void prefetchServices(const QStringList& machines) { Q_UNUSED(machines); }

    // Says that openShareFile will be asked for relativePath of these machines, in this order,
    // so that a back end with slow machines may fetch several at once ahead of the caller.
    // The answers stay the same; back ends that gain nothing from it ignore it.
    virtual void prefetchShareFiles(const QStringList& machines, const QString& relativePath) {
        Q_UNUSED(machines);
        Q_UNUSED(relativePath);
    }
};
