// The manager database on the embedded engine: one SQLite file (Data/VCManager.mdb) in WAL mode.
#pragma once

#include "store/FileDatabase.h"
#include "store/ManagerDatabase.h"

class SqliteManagerDatabase : public ManagerDatabase {
public:
    // Opens (and when nothing is there creates) the file at path; see ManagerDatabase::open.
    explicit SqliteManagerDatabase(const QString& path);
    ~SqliteManagerDatabase() override;

    // Installation: writes a new file with the schema at path, refusing when one is there.
    static void create(const QString& path);

    // The connection, for the engine's own parts (the merge session, the usage scan) and for
    // tests and benchmarks of this engine; never for a subsystem.
    FileDatabase& file() const { return m_file; }

    QString location() const override { return m_file.path(); }
    int schemaVersion() const override;

    std::unique_ptr<Transaction> transaction() override;
    bool inTransaction() const override { return m_file.inTransaction(); }
    // An exclusive lock (flock) on the file beside the database named writersLockPath().
    std::unique_ptr<WritersTurn> takeWritersTurn(const std::function<bool()>& waiting) override;
    static QString writersLockPath(const QString& databasePath);

    QList<Workstation> workstations() const override;
    int addWorkstation(const QString& name, bool monitored) override;
    void setMonitored(int workstationId, bool monitored) override;

    QList<NamedRow> users() const override;
    QList<NamedRow> appTitles() const override;
    int addUser(const QString& name) override;
    int addAppTitle(const QString& title) override;

    std::optional<QDate> newestDay(int workstationId) const override;
    std::optional<QDate> newestDay() const override;
    QList<QDate> distinctDays() const override;

    std::unique_ptr<UsageScan> openUsageScan(QDate from, QDate to) const override;
    QHash<qint64, qint64> secondsByTitle(QDate from, QDate to) const override;
    std::unique_ptr<MergeSession> openMergeSession() override;

    QList<Grouping> groupings() const override;
    void replaceGroupings(const QStringList& aliases) override;
    void addGrouping(const QString& alias, int rank) override;
    QList<GroupingTitle> groupingTitles() const override;
    QStringList titlesOf(const QString& alias) const override;
    void addGroupingTitle(const QString& alias, const QString& title) override;
    void removeGroupingTitles(const QString& alias) override;
    void removeGroupingTitle(qint64 rowId) override;

    void recordDownload(int workstationId, const DownloadStatus& status) override;
    std::optional<DownloadStatus> downloadStatus(int workstationId) const override;
    void recordAgentVersion(int workstationId, const QString& version) override;
    QString agentVersion(int workstationId) const override;

    AuditRow appendAuditRow(AuditRow row, const AuditChain& chain) override;
    QList<AuditRow> auditRows() const override;

    PurgeCounts purgeUsageBefore(QDate day) override;
    bool scrubFreedSpace() override;

    QList<RedactionRule> redactionRules() const override;
    void replaceRedactionRules(const QList<RedactionRule>& rules) override;
    qint64 retitleUsage(int fromTitleKey, int toTitleKey) override;

private:
    void checkSchema();
    AuditRow appendAuditRowOnce(AuditRow row, const AuditChain& chain);

    // Statements are made on a connection the object owns; reading never changes what it holds.
    mutable FileDatabase m_file;
};
