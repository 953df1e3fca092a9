// The manager database as the subsystems see it, whatever engine holds it: the registry of
// workstations, the names, the usage, the groupings, the download records and the schema's
// version. No SQL, no engine type and no engine handle is part of it; the rules (letter case,
// blanking, which agent rows a download takes, how titles map to applications) stay with the
// subsystems that own them, which ask the store only to read and write.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class MergeSession;
class UsageScan;

class ManagerDatabase {
public:
    // Opens the manager database at location (the path of the embedded database file),
    // creating it from the schema when nothing is there. A database of an older schema version
    // is brought up to date first, whole or not at all. A file that is not a database, lacks
    // the tables, or comes from a newer version of the program throws VcError and is left as
    // it is.
    static std::unique_ptr<ManagerDatabase> open(const QString& location);
    // Installation: a new database with the schema and the grouping "Desktop" at location.
    // Refuses (throws) when one is already there.
    static void create(const QString& location);

    virtual ~ManagerDatabase();
    ManagerDatabase(const ManagerDatabase&) = delete;
    ManagerDatabase& operator=(const ManagerDatabase&) = delete;

    // Where the database is, as open() was given it.
    virtual QString location() const = 0;
    // The schema version of the open database.
    virtual int schemaVersion() const = 0;

    // One unit of work: every change made through the database while it is open belongs to it
    // and is undone unless committed (also when the unit goes out of scope). A unit begun inside
    // another is part of it and can be undone alone.
    class Transaction {
    public:
        virtual ~Transaction();
        // Makes the unit part of the enclosing one, or durable when there is none. On failure
        // the unit is undone and VcError thrown.
        virtual void commit() = 0;
        // Undoes the unit now; going out of scope then has nothing left to do.
        virtual void rollback() = 0;
    };
    virtual std::unique_ptr<Transaction> transaction() = 0;

    // Writers take turns: the console's download and collect each hold the turn for their whole
    // run, so two of them never merge at once (and neither waits on the other inside the engine);
    // readers and short edits do not need it. Held until the object is destroyed.
    class WritersTurn {
    public:
        virtual ~WritersTurn();
    };
    // The turn, taken at once when it is free. While another writer holds it, waiting() is
    // called every tenth of a second or so: the turn comes back as soon as it is free, nothing
    // when waiting() returns false first. Throws VcError when the turn cannot be taken at all.
    virtual std::unique_ptr<WritersTurn> takeWritersTurn(const std::function<bool()>& waiting) = 0;
    // Whether a unit is open. The engine may give up a whole transaction by itself (disk full,
    // I/O error), taking every unit inside it along: then this is false at once.
    virtual bool inTransaction() const = 0;

    // --- The registry (MGRWorkstations)
    struct Workstation {
        int id = -1;
        QString name;
        bool monitored = false;
    };
    // In stored order.
    virtual QList<Workstation> workstations() const = 0;
    // Adds a row and returns its key.
    virtual int addWorkstation(const QString& name, bool monitored) = 0;
    virtual void setMonitored(int workstationId, bool monitored) = 0;

    // --- Names (MGRUsers, MGRAppTitles)
    struct NamedRow {
        int id = -1;
        QString name;
    };
    // In stored order.
    virtual QList<NamedRow> users() const = 0;
    virtual QList<NamedRow> appTitles() const = 0;
    // Adds a row exactly as given and returns its new key (keys are never reused).
    virtual int addUser(const QString& name) = 0;
    virtual int addAppTitle(const QString& title) = 0;

    // --- Days held
    // Newest day held for one workstation, or overall; nothing when there is none.
    virtual std::optional<QDate> newestDay(int workstationId) const = 0;
    virtual std::optional<QDate> newestDay() const = 0;
    // Every day that holds usage, ascending.
    virtual QList<QDate> distinctDays() const = 0;

    // --- Usage
    // A read-only scan of the rows dated from the first day to the last, both included (none
    // when from is after to), with the names and groupings of the same snapshot: the report's
    // extraction and the export read. Throws VcError when the store cannot be read.
    virtual std::unique_ptr<UsageScan> openUsageScan(QDate from, QDate to) const = 0;
    // The seconds of usage per title key over the inclusive day range, of the rows whose user
    // and workstation have their name rows; titles without usage there are not listed.
    virtual QHash<qint64, qint64> secondsByTitle(QDate from, QDate to) const = 0;
    // Bulk insertion of a download's merged rows (and the names they bring).
    virtual std::unique_ptr<MergeSession> openMergeSession() = 0;

    // --- The groupings (MGRGroupings, MGRGroupingsData)
    struct Grouping {
        qint64 rowId = 0; // the row's identity in the store
        QString alias;
        int rank = 0;
        // The stored rank as a whole number: nothing when there is none (empty, or no number).
        std::optional<qint64> rankNumber;
    };
    // In table order.
    virtual QList<Grouping> groupings() const = 0;
    // Replaces every alias row with one row per alias, ranked by its position in the list.
    virtual void replaceGroupings(const QStringList& aliases) = 0;
    virtual void addGrouping(const QString& alias, int rank) = 0;

    struct GroupingTitle {
        qint64 rowId = 0;
        QString aliasKey;
        QString windowTitle;
    };
    // In table order.
    virtual QList<GroupingTitle> groupingTitles() const = 0;
    // The titles of exactly this alias (letter case counts), in table order.
    virtual QStringList titlesOf(const QString& alias) const = 0;
    virtual void addGroupingTitle(const QString& alias, const QString& title) = 0;
    // Every title row of exactly this alias.
    virtual void removeGroupingTitles(const QString& alias) = 0;
    virtual void removeGroupingTitle(qint64 rowId) = 0;

    // --- Download records (MGRDownloadStatus): the last attempt of each workstation
    struct DownloadStatus {
        enum class Result { Merged = 0, Unreachable = 1, Failed = 2 };
        QDateTime attemptTime; // UTC, whole seconds
        Result result = Result::Merged;
        qint64 rowsMerged = 0;
        QString reason; // why it failed; empty otherwise
        std::optional<QDate> newestDay;
    };
    // Replaces the workstation's record; inside a unit it is part of it.
    virtual void recordDownload(int workstationId, const DownloadStatus& status) = 0;
    virtual std::optional<DownloadStatus> downloadStatus(int workstationId) const = 0;
    // The agent version the workstation's file named when it was last read (MGRAgentVersions);
    // empty when unknown. Recording an empty version forgets it; inside a unit it is part of it.
    virtual void recordAgentVersion(int workstationId, const QString& version) = 0;
    virtual QString agentVersion(int workstationId) const = 0;

    // --- The audit log (MGRAuditLog): appended to, never changed, never purged
    struct AuditRow {
        qint64 sequence = 0; // 1, 2, ... in the order the rows were appended
        QDateTime time;      // UTC, whole seconds
        QString account;     // the operating-system account
        QString host;
        QString origin; // "console" or "command"
        QString action;
        QString details;
        QByteArray hash; // lower-case hex, chaining the row to the one before it
    };
    // The chain's rule, given the previous row's hash (empty for the first row) and the new row
    // with its sequence: the new row's hash.
    using AuditChain = std::function<QByteArray(const QByteArray& previousHash, const AuditRow& row)>;
    // Appends row (its sequence and hash are set here) holding the write lock from reading the
    // last row to writing the new one, so two writers never chain to the same row; inside a
    // unit it is part of it. Returns the row as stored.
    virtual AuditRow appendAuditRow(AuditRow row, const AuditChain& chain) = 0;
    // Every row, in sequence order.
    virtual QList<AuditRow> auditRows() const = 0;

    // --- Retention
    struct PurgeCounts {
        qint64 usageRows = 0;
        qint64 users = 0;  // names no row uses any more
        qint64 titles = 0; // likewise
    };
    // Deletes the usage rows dated before the day, then the user and title names no usage row
    // uses any more, as one unit (inside an open unit, part of it; on failure nothing is
    // deleted and VcError is thrown). The registry, the groupings, the download records and the
    // audit log are kept. Deletions overwrite what they remove in the store's own pages.
    virtual PurgeCounts purgeUsageBefore(QDate day) = 0;
    // After deletions have been committed: overwrites every older copy of the deleted content
    // the store's files may still hold (a write-ahead log) and gives the freed space back.
    // Returns false when another reader kept that from finishing now (a later call completes
    // it); throws VcError when the store fails. Never inside a unit.
    virtual bool scrubFreedSpace() = 0;

    // --- Title redaction rules (MGRRedactionRules), in the order they are tried
    struct RedactionRule {
        QString pattern;
        QString replacement;
    };
    virtual QList<RedactionRule> redactionRules() const = 0;
    // Replaces every rule; inside a unit it is part of it.
    virtual void replaceRedactionRules(const QList<RedactionRule>& rules) = 0;
    // Moves the usage of one title onto another: rows that then share day, user, title and
    // workstation become one row holding their sum, and the old title's row is deleted
    // (overwritten, as purges are). Inside a unit it is part of it. Returns the usage rows moved.
    virtual qint64 retitleUsage(int fromTitleKey, int toTitleKey) = 0;

protected:
    ManagerDatabase() = default;
};
