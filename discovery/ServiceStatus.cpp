// Service lookups over the network interface, with the operator messages for failed calls.
#include "discovery/ServiceStatus.h"

#include "base/Captions.h"
#include "base/Feedback.h"
#include "network/Network.h"

#include <optional>

namespace {

// The listing for filter, or nothing after a failure; a failed call shows its message.
std::optional<QList<Network::ServiceEntry>> lookup(Network& network, Feedback& feedback, qint32 stateFilter,
                                                   const QString& machine, const QString& secondCallText) {
    const Network::ServiceList list = network.services(machine, stateFilter);
    switch (list.stage) {
    case Network::ServiceStage::Ok:
        return list.entries;
    case Network::ServiceStage::ManagerUnavailable:
        return std::nullopt;
    case Network::ServiceStage::FirstCall:
        feedback.message(QStringLiteral("ERROR_MORE_DATA not returned; error ") +
                             QString::number(list.errorCode),
                         Captions::kProduct, Feedback::Icon::None, Feedback::Buttons::Ok);
        return std::nullopt;
    case Network::ServiceStage::SecondCall:
        feedback.message(secondCallText + QString::number(list.errorCode), Captions::kProduct,
                         Feedback::Icon::None, Feedback::Buttons::Ok);
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

qint32 GetServiceState(Network& network, Feedback& feedback, const QString& machine, const QString& service) {
    return serviceStateIfListed(network, feedback, machine, service).value_or(0);
}

std::optional<qint32> serviceStateIfListed(Network& network, Feedback& feedback, const QString& machine,
                                           const QString& service) {
    const auto entries = lookup(network, feedback, Network::kServiceStateAll, machine,
                                QStringLiteral("GetSystemServicesState; error "));
    if (!entries)
        return std::nullopt;
    for (const Network::ServiceEntry& entry : *entries)
        if (entry.name == service) // exact: another letter case is another service
            return entry.state;
    return 0;
}

bool ServiceExists(Network& network, Feedback& feedback, qint32 stateFilter, const QString& machine,
                   const QString& service) {
    return sightService(network, feedback, stateFilter, machine, service).found;
}

ServiceSighting sightService(Network& network, Feedback& feedback, qint32 stateFilter, const QString& machine,
                             const QString& service) {
    ServiceSighting sighting;
    const auto entries =
        lookup(network, feedback, stateFilter, machine, QStringLiteral("EnumServicesStatus; error "));
    if (!entries)
        return sighting;
    sighting.listed = true;
    for (const Network::ServiceEntry& entry : *entries) {
        if (entry.name == service) {
            sighting.found = true;
            sighting.state = entry.state;
            break;
        }
    }
    return sighting;
}

QString serviceStateText(qint32 state) {
    switch (state) {
    case 1:
        return QStringLiteral(": Vellumcrest service stopped");
    case 2:
        return QStringLiteral(": Vellumcrest service starting");
    case 3:
        return QStringLiteral(": Vellumcrest service stopping");
    case 4:
        return QStringLiteral(": Vellumcrest service running normally");
    case 5:
        return QStringLiteral(": Vellumcrest service about to resume");
    case 6:
        return QStringLiteral(": Vellumcrest service about to pause");
    case 7:
        return QStringLiteral(": Vellumcrest service paused");
    default:
        return QStringLiteral(": Vellumcrest service not installed");
    }
}

QString serviceCheckLine(Network& network, Feedback& feedback, const QString& machine) {
    return machine + serviceStateText(GetServiceState(network, feedback, machine, kAgentServiceName));
}
