// A small manager database in a temporary folder, filled row by row for report tests.
#pragma once

#include "store/ManagerDatabase.h"

#include <memory>
#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class ReportFixture {
public:
    ReportFixture();

    ManagerDatabase& db() { return *m_database; }
    QString folder() const { return m_dir.path(); }
    // A program folder with Data/HTML/ holding the fixed pages.
    QString programFolder() const { return m_dir.path() + QStringLiteral("/program"); }

    // Adds a grouping after the existing ones, with its entries in order.
    void addGrouping(const QString& alias, const QStringList& entries);
    // One usage row; names are added to their tables on first use (exact text).
    void addUsage(const QString& workstation, const QString& user, const QString& title, const QString& date,
                  qint64 seconds);
    // Every grouping name and "Undefined Applications", every user and workstation.
    QStringList allApplications();
    QStringList allUsers();
    QStringList allWorkstations();

private:
    int keyOf(QHash<QString, int>& keys, const QString& insertSql, const QString& name);

    QTemporaryDir m_dir;
    std::unique_ptr<ManagerDatabase> m_database;
    QHash<QString, int> m_workstations;
    QHash<QString, int> m_users;
    QHash<QString, int> m_titles;
    int m_nextRank = 1;
};
