// Whether a machine runs a service, and in which state: the agent service checks shared by
// the network scan and the Check Workstations page.
#pragma once

#include <optional>
#include <QString>
#include <QtGlobal>

class Feedback;
class Network;

// The agent's service, matched with exactly this letter case.
inline const QString kAgentServiceName = QStringLiteral("VCWorkstation");

// The service's state code (1 stopped .. 7 paused), or 0 when the machine's service manager
// cannot be opened (silently), a service enumeration call fails (with a message), or no
// service has that exact name.
qint32 GetServiceState(Network& network, Feedback& feedback, const QString& machine, const QString& service);

// The same lookup, telling a machine whose services could not be listed (nothing) apart from
// one without the service (0), with the same messages.
std::optional<qint32> serviceStateIfListed(Network& network, Feedback& feedback, const QString& machine,
                                           const QString& service);

// Whether a service with exactly that name is listed for the state filter (1 active,
// 2 inactive, 3 any). Failures count as "not listed", with the same messages.
bool ServiceExists(Network& network, Feedback& feedback, qint32 stateFilter, const QString& machine,
                   const QString& service);

// The same lookup, saying what it saw: whether the list could be had at all, whether the
// service is in it, and its state code then.
struct ServiceSighting {
    bool listed = false;
    bool found = false;
    qint32 state = 0;
};
ServiceSighting sightService(Network& network, Feedback& feedback, qint32 stateFilter, const QString& machine,
                             const QString& service);

// The text that follows the machine name in the Check Workstations list for a state code.
QString serviceStateText(qint32 state);

// One line of the Check Workstations list: the machine name and its agent's state text.
QString serviceCheckLine(Network& network, Feedback& feedback, const QString& machine);
