// What a download must import, computed from the agent files of a simulated network alone,
// without any of the console's own code for the merge.
#pragma once

#include <QDate>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

namespace AgentOracle {

struct Import {
    qint64 rows = 0;
    // day -> stored title (double quotes blanked) -> seconds
    QMap<QDate, QMap<QString, qint64>> seconds;
    // Machines that contributed a row, and machines whose file holds any readable later day.
    QSet<QString> workstations;
    QSet<QString> withNewDays;
};

// The machines of network.ini, in its order.
QStringList machines(const QString& network);
// Those whose agent service is registered as exactly "VCWorkstation" and whose file exists:
// the ones a scan checks and a start-up downloads.
QStringList agentMachines(const QString& network);

// Downloading machines in order: a row counts when its day is readable and later than since
// (any day when since is null), its duration is not negative, and its user and title were
// listed by its machine or one read before it, letter case aside.
Import expected(const QString& network, const QStringList& machines, QDate since = {});

} // namespace AgentOracle
