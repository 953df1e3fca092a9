// The manager database (Data/VCManager.mdb): opening, installation, and the queries that
// several subsystems share. Subsystems with queries of their own use db() with bound values,
// or handle() with SqlStatement on their bulk paths.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>

class SqlConnection;

struct sqlite3;

class ManagerDatabase {
public:
    // Opens the database at path, creating it from the schema when no file is there. A file
    // of an older schema version is brought up to date first, whole or not at all. A file that
    // is not a database, lacks the tables, or comes from a newer version of the program throws
    // VcError and is left as it is.
    explicit ManagerDatabase(const QString& path);
    ~ManagerDatabase();
    ManagerDatabase(const ManagerDatabase&) = delete;
    ManagerDatabase& operator=(const ManagerDatabase&) = delete;

    // Installation: writes a new database with the schema and the grouping "Desktop" at path.
    // Refuses (throws) when a file is already there.
    static void create(const QString& path);

    QSqlDatabase db() const;
    QString path() const { return m_path; }
    // The engine handle, for bulk paths that bypass QtSql's per-row cost.
    sqlite3* handle() const;
    // user_version of the open file.
    int schemaVersion() const;

    struct Workstation {
        int id = -1;
        QString name;
        bool monitored = false;
    };
    // MGRWorkstations in stored order.
    QList<Workstation> workstations() const;

    struct NamedRow {
        int id = -1;
        QString name;
    };
    // MGRUsers / MGRAppTitles in stored order.
    QList<NamedRow> users() const;
    QList<NamedRow> appTitles() const;
    // Adds a row and returns its new counter value.
    int addUser(const QString& name);
    int addAppTitle(const QString& title);

    // Newest day held for one workstation, or overall; nothing when there is none.
    std::optional<QDate> newestDay(int workstationId) const;
    std::optional<QDate> newestDay() const;
    // Every day that holds usage, ascending (steps through the date index).
    QList<QDate> distinctDays() const;

    struct Grouping {
        qint64 rowId = 0;
        QString alias;
        int rank = 0;
    };
    // MGRGroupings in table (rowid) order.
    QList<Grouping> groupings() const;

    struct GroupingTitle {
        qint64 rowId = 0;
        QString aliasKey;
        QString windowTitle;
    };
    // MGRGroupingsData in table (rowid) order.
    QList<GroupingTitle> groupingTitles() const;

    struct UsageRow {
        QString workstation;
        qint64 duration = 0;
        QDate date;
        QString userName;
        QString appTitle;
    };
    // The joined usage rows of an inclusive day range, in the engine's order.
    void forEachUsageRow(QDate from, QDate to, const std::function<void(const UsageRow&)>& visit) const;

    // The last download attempt of one workstation (MGRDownloadStatus).
    struct DownloadStatus {
        enum class Result { Merged = 0, Unreachable = 1, Failed = 2 };
        QDateTime attemptTime; // UTC, whole seconds
        Result result = Result::Merged;
        qint64 rowsMerged = 0;
        QString reason; // why it failed; empty otherwise
        std::optional<QDate> newestDay;
    };
    // Replaces the workstation's record; inside a transaction it is part of it.
    void recordDownload(int workstationId, const DownloadStatus& status);
    std::optional<DownloadStatus> downloadStatus(int workstationId) const;
    // The agent version the workstation's file named when it was last read (MGRAgentVersions);
    // empty when unknown. Recording an empty version forgets it.
    void recordAgentVersion(int workstationId, const QString& version);
    QString agentVersion(int workstationId) const;

private:
    void checkSchema();

    QString m_path;
    std::unique_ptr<SqlConnection> m_connection;
};
