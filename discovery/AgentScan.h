// The network scan: which machines of the network run the agent service.
#pragma once

#include <functional>
#include <optional>
#include <QString>
#include <QStringList>
#include <QtGlobal>

class Feedback;
class Network;

// What a scan tells whoever shows its progress; every member may be empty.
struct AgentScanObserver {
    // After the enumeration, before the first machine is asked.
    std::function<void(int machineCount)> enumerated;
    std::function<void(const QString& machine)> asking;
    // The machine runs the agent (in any state).
    std::function<void(const QString& machine)> found;
    // After each machine, found or not.
    std::function<void(const QString& machine)> asked;
    // What the scan saw of the agent's service on each machine, as a status check reports it:
    // its state code, 0 when not installed, kAgentNotReached when the services could not be listed.
    std::function<void(const QString& machine, qint32 state)> checked;
};

// The state a check gives a machine whose services could not be listed (unreachable, refused).
constexpr qint32 kAgentNotReached = -2;

// Enumerates the network and asks every machine for the agent's service, in the network's
// order. Returns the machines that run it, or nothing when the enumeration failed as a whole.
// Service-list failures are told through feedback and count as "no agent".
std::optional<QStringList> scanForAgents(Network& network, Feedback& feedback,
                                         const AgentScanObserver& observer = {});
