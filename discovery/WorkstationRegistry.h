// The registry of workstations found running the agent (MGRWorkstations): writing the tree's
// state into it, and the monitored flags the operator's check boxes change.
#pragma once

#include "store/ManagerDatabase.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class WorkstationRegistry {
public:
    struct Node {
        QString name;
        bool checked = false;
    };

    explicit WorkstationRegistry(ManagerDatabase& database);

    // Every workstation node into the registry, in node order, as one unit: the first row of
    // the same name (workstation names ignore letter case) takes the node's check state, a
    // name without a row gets a new one.
    void update(const QList<Node>& nodes);

    // The operator's choice for every registered name (case-folded): monitored or not. A scan
    // keeps it; only a machine without a row starts monitored.
    QHash<QString, bool> monitoredByFoldedName() const;

    // Names of the rows stored as monitored, in stored order.
    QStringList monitoredNames() const;

    // The rows in stored order (the start-up tree).
    QList<ManagerDatabase::Workstation> rows() const;

    // Sets Monitored on the first row of that name; false when there is no such row.
    bool setMonitored(const QString& name, bool monitored);
    // The same for several names, as one unit; names without a row are skipped.
    void setMonitored(const QStringList& names, bool monitored);

    // Status text after a scan: "3 monitored workstations found", singular for one.
    static QString foundText(int workstationCount);

private:
    ManagerDatabase& m_database;
};
