// A manager database with hand-placed usage rows, and a reader for export files.
#pragma once

#include "store/ManagerDatabase.h"

#include <memory>
#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>

class UsageFixture {
public:
    // Creates a new manager database in folder (it holds the grouping "Desktop" only).
    explicit UsageFixture(const QString& folder);

    ManagerDatabase& database() { return *m_database; }

    // Adds one usage row; names are registered on first use, exactly as written.
    void addUsage(const QString& workstation, const QString& user, const QString& title, QDate day,
                  qint64 seconds);
    // Adds a grouping below the existing ones with its window-title entries.
    void addGrouping(const QString& alias, const QStringList& entries);
    // Writes a raw row, for values no collected day would hold.
    void addRawUsage(const QString& workstation, const QString& user, const QString& title,
                     const QString& date, qint64 seconds);

    // The rows of "All Existing Data" in the export file, each as
    // "Workstation|UserName|Application Title|Duration|Date", in table order.
    static QStringList exportRows(const QString& path);
    // The fields of "All Existing Data" as "name type", in order.
    static QStringList exportFields(const QString& path);
    // Runs one statement on a database file.
    static void execute(const QString& path, const QString& sql);

private:
    int idOf(QHash<QString, int>& ids, const QString& table, const QString& field, const QString& name);

    std::unique_ptr<ManagerDatabase> m_database;
    QHash<QString, int> m_workstations;
    QHash<QString, int> m_users;
    QHash<QString, int> m_titles;
    int m_nextRank = 1;
};
