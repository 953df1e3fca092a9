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
    // Per machine and day: the rows that count and their seconds (fractions kept).
    struct Day {
        qint64 rows = 0;
        double seconds = 0;
    };
    QMap<QString, QMap<QDate, Day>> byWorkstation;
    // Machines whose file cannot be read in full, or holds something other than a table under
    // one of the three names: nothing of them may come in.
    QSet<QString> unreadable;
};

// The machines of network.ini, in its order.
QStringList machines(const QString& network);
// Those whose agent service is registered as exactly "VCWorkstation" and whose file exists:
// the ones a scan checks and a start-up downloads.
QStringList agentMachines(const QString& network);

// Downloading machines in order: a row counts when its day is readable, later than since (any
// day when since is null) and not after today, its duration is a number of seconds from 0 to
// 2^31-1 (stored as a number or as its text), and its user and title were listed by its
// machine or one read before it, letter case aside. An unreadable machine lists nothing.
Import expected(const QString& network, const QStringList& machines, QDate since = {},
                QDate today = QDate::currentDate());

} // namespace AgentOracle
