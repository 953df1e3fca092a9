// The network scan shared by the Workstation Data page and the command line.
#include "discovery/AgentScan.h"

#include "discovery/ServiceStatus.h"
#include "network/Network.h"

std::optional<QStringList> scanForAgents(Network& network, Feedback& feedback,
                                         const AgentScanObserver& observer) {
    const auto machines = network.enumerateMachines();
    if (!machines)
        return std::nullopt;
    if (observer.enumerated)
        observer.enumerated(static_cast<int>(machines->size()));
    QStringList agents;
    for (const QString& machine : *machines) {
        if (observer.asking)
            observer.asking(machine);
        const ServiceSighting seen =
            sightService(network, feedback, Network::kServiceStateAll, machine, kAgentServiceName);
        if (seen.found) {
            agents.append(machine);
            if (observer.found)
                observer.found(machine);
        }
        if (observer.checked)
            observer.checked(machine, !seen.listed ? kAgentNotReached : seen.found ? seen.state : 0);
        if (observer.asked)
            observer.asked(machine);
        if (!network.problem().isEmpty())
            return std::nullopt; // the account was refused: no other machine is asked
    }
    return agents;
}
