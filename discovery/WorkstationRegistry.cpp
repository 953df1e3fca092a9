// Registry writes: one unit of the store per change of several rows.
#include "discovery/WorkstationRegistry.h"

#include <QHash>

namespace {

// First row id per name, folded so that letter case does not make a second row.
QHash<QString, int> firstRowByName(const QList<ManagerDatabase::Workstation>& rows) {
    QHash<QString, int> ids;
    for (const auto& row : rows) {
        const QString key = row.name.toCaseFolded();
        if (!ids.contains(key))
            ids.insert(key, row.id);
    }
    return ids;
}

} // namespace

WorkstationRegistry::WorkstationRegistry(ManagerDatabase& database) : m_database(database) {}

void WorkstationRegistry::update(const QList<Node>& nodes) {
    const auto transaction = m_database.transaction();
    QHash<QString, int> ids = firstRowByName(m_database.workstations());
    for (const Node& node : nodes) {
        const QString key = node.name.toCaseFolded();
        const auto found = ids.constFind(key);
        if (found != ids.constEnd())
            m_database.setMonitored(*found, node.checked);
        else
            ids.insert(key, m_database.addWorkstation(node.name, node.checked));
    }
    transaction->commit();
}

QHash<QString, bool> WorkstationRegistry::monitoredByFoldedName() const {
    QHash<QString, bool> choices;
    for (const auto& row : m_database.workstations()) // the first row of a name is the machine's
        choices.insert(row.name.toCaseFolded(), choices.value(row.name.toCaseFolded(), row.monitored));
    return choices;
}

QStringList WorkstationRegistry::monitoredNames() const {
    QStringList names;
    for (const auto& row : m_database.workstations())
        if (row.monitored)
            names << row.name;
    return names;
}

QList<ManagerDatabase::Workstation> WorkstationRegistry::rows() const {
    return m_database.workstations();
}

bool WorkstationRegistry::setMonitored(const QString& name, bool monitored) {
    const QHash<QString, int> ids = firstRowByName(m_database.workstations());
    const auto found = ids.constFind(name.toCaseFolded());
    if (found == ids.constEnd())
        return false;
    m_database.setMonitored(*found, monitored);
    return true;
}

void WorkstationRegistry::setMonitored(const QStringList& names, bool monitored) {
    const auto transaction = m_database.transaction();
    const QHash<QString, int> ids = firstRowByName(m_database.workstations());
    for (const QString& name : names) {
        const auto found = ids.constFind(name.toCaseFolded());
        if (found != ids.constEnd())
            m_database.setMonitored(*found, monitored);
    }
    transaction->commit();
}

QString WorkstationRegistry::foundText(int workstationCount) {
    return QString::number(workstationCount) + QStringLiteral(" monitored workstation") +
           (workstationCount == 1 ? QString() : QStringLiteral("s")) + QStringLiteral(" found");
}
