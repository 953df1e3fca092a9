// The one manager-database fixture: a fresh store in a temporary folder, usage and groupings
// placed row by row, views of the tables, and writes refused at a chosen moment.
#pragma once

#include "store/ManagerDatabase.h"

#include <memory>
#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

class SqliteManagerDatabase;

class ManagerFixture {
public:
    // A new manager database holding only what installation puts there ("Desktop", rank 0), on
    // the embedded engine.
    ManagerFixture();
    ~ManagerFixture();

    ManagerDatabase& db();
    QString folder() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }
    // A program folder whose Data/HTML holds the fixed pages; made on first use.
    QString programFolder();

    // Runs one statement on the database's own connection (so it sees what an open unit holds):
    // its rows, each a list of values.
    QList<QVariantList> exec(const QString& sql, const QVariantList& values = {});
    qint64 scalar(const QString& sql, const QVariantList& values = {});

    // One usage row; names are registered on first use, exactly as written. The raw form
    // takes the stored date text as is, for values no collected day would hold.
    void addUsage(const QString& workstation, const QString& user, const QString& title, QDate day,
                  qint64 seconds);
    void addRawUsage(const QString& workstation, const QString& user, const QString& title,
                     const QString& date, qint64 seconds);
    // Workstations in MGRWorkstations, monitored.
    void registerWorkstations(const QStringList& names);
    // The stored usage, one "workstation|user|title|date|duration" line per row, sorted.
    QStringList usage();

    // A grouping below the existing ones, with its window-title entries in order.
    void addGrouping(const QString& alias, const QStringList& entries);
    // Replaces the alias table with rows of "Alias=Rank", in table order.
    void setGroupings(const QStringList& rows);
    void addTitleRow(const QString& alias, const QString& title);
    void addCaptured(const QStringList& titles);
    // The alias table as "Alias=Rank" and the titles table as "AliasKey|WindowTitle", in table order.
    QStringList groupingRows();
    QStringList titleRows();

    // Every grouping name and "Undefined Applications"; every user; every workstation.
    QStringList allApplications();
    QStringList allUsers();
    QStringList allWorkstations();

    // Makes the engine refuse one kind of write on a table (event INSERT, UPDATE or DELETE), as
    // a full disk or a lock would, whenever the SQL condition `when` holds at that write: "1"
    // for every write, "(SELECT count(*) FROM T) >= 2" for the third row on. The error text
    // holds "refused by the test". allow() lifts it again.
    void refuse(const QString& event, const QString& table, const QString& when = QStringLiteral("1"));
    void allow(const QString& event, const QString& table);
    // The same on another database file (an export file, an agent file).
    static void refuseIn(const QString& path, const QString& event, const QString& table,
                         const QString& when = QStringLiteral("1"));

    // Runs statements on any database file; query() gives each row as its fields joined by '|'.
    static void execute(const QString& path, const QString& sql);
    // A file's bytes; "<missing>" when it cannot be read.
    static QByteArray readFile(const QString& path);
    static QStringList query(const QString& path, const QString& sql);
    // An export file's "All Existing Data": its rows as "Workstation|UserName|Application
    // Title|Duration|Date" in table order, and its fields as "name type".
    static QStringList exportRows(const QString& path);
    static QStringList exportFields(const QString& path);

private:
    int keyOf(QHash<QString, int>& keys, const QString& table, const QString& field, const QString& name);

    QTemporaryDir m_dir;
    std::unique_ptr<SqliteManagerDatabase> m_database;
    QHash<QString, int> m_workstations;
    QHash<QString, int> m_users;
    QHash<QString, int> m_titles;
    int m_nextRank = 1;
};
