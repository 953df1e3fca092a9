// Registry writes: one transaction per change of several rows, names always bound.
#include "discovery/WorkstationRegistry.h"

#include "store/SqlTransaction.h"
#include "store/SqlUtil.h"

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
    QSqlDatabase db = m_database.db();
    SqlTransaction transaction(m_database.handle());
    QHash<QString, int> ids = firstRowByName(m_database.workstations());
    QSqlQuery change =
        Sql::prepare(db, QStringLiteral("UPDATE MGRWorkstations SET Monitored = ? WHERE WorkstationID = ?"));
    QSqlQuery add =
        Sql::prepare(db, QStringLiteral("INSERT INTO MGRWorkstations (Name, Monitored) VALUES (?, ?)"));
    for (const Node& node : nodes) {
        const QString key = node.name.toCaseFolded();
        const auto found = ids.constFind(key);
        if (found != ids.constEnd()) {
            Sql::exec(change, {node.checked ? 1 : 0, *found});
        } else {
            Sql::exec(add, {node.name, node.checked ? 1 : 0});
            ids.insert(key, add.lastInsertId().toInt());
        }
    }
    transaction.commit();
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
    Sql::run(m_database.db(),
             QStringLiteral("UPDATE MGRWorkstations SET Monitored = ? WHERE WorkstationID = ?"),
             {monitored ? 1 : 0, *found});
    return true;
}

void WorkstationRegistry::setMonitored(const QStringList& names, bool monitored) {
    QSqlDatabase db = m_database.db();
    SqlTransaction transaction(m_database.handle());
    const QHash<QString, int> ids = firstRowByName(m_database.workstations());
    QSqlQuery change =
        Sql::prepare(db, QStringLiteral("UPDATE MGRWorkstations SET Monitored = ? WHERE WorkstationID = ?"));
    for (const QString& name : names) {
        const auto found = ids.constFind(name.toCaseFolded());
        if (found != ids.constEnd())
            Sql::exec(change, {monitored ? 1 : 0, *found});
    }
    transaction.commit();
}

QString WorkstationRegistry::foundText(int workstationCount) {
    return QString::number(workstationCount) + QStringLiteral(" monitored workstation") +
           (workstationCount == 1 ? QString() : QStringLiteral("s")) + QStringLiteral(" found");
}
