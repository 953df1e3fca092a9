// The embedded engine's manager database: installation, schema check and every query of the seam.
#include "store/sqlite/SqliteManagerDatabase.h"

#include "base/Captions.h"
#include "base/VcError.h"
#include "store/Dates.h"
#include "store/sqlite/schema.h"
#include "store/sqlite/SqliteMergeSession.h"
#include "store/sqlite/SqliteSchema.h"
#include "store/sqlite/SqliteUsageScan.h"
#include "store/SqlStatement.h"
#include "store/SqlTransaction.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>
#include <QVariant>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
const QStringList kTables = {QStringLiteral("MGRWorkstations"),  QStringLiteral("MGRUsers"),
                             QStringLiteral("MGRAppTitles"),     QStringLiteral("MGRDaySummary"),
                             QStringLiteral("MGRDaySummaryTmp"), QStringLiteral("MGRGroupings"),
                             QStringLiteral("MGRGroupingsData")};

class SqliteTransaction : public ManagerDatabase::Transaction {
public:
    explicit SqliteTransaction(FileDatabase& file) : m_unit(file) {}
    void commit() override { m_unit.commit(); }
    void rollback() override { m_unit.rollback(); }

private:
    SqlTransaction m_unit;
};

QList<ManagerDatabase::NamedRow> namedRows(FileDatabase& file, const char* sql) {
    QList<ManagerDatabase::NamedRow> rows;
    SqlStatement q(file, sql);
    while (q.step())
        rows.append({q.value(0).toInt(), q.value(1).toString()});
    return rows;
}

int insertName(FileDatabase& file, const char* sql, const QString& name) {
    SqlStatement insert(file, sql);
    insert.bindText(1, name);
    insert.run();
    return int(file.lastInsertId());
}

std::optional<QDate> dayOf(SqlStatement& q) {
    if (!q.step() || q.isNull(0))
        return std::nullopt;
    const QDate day = Dates::fromStored(q.value(0).toString());
    if (!day.isValid())
        return std::nullopt;
    return day;
}

// A stored value as the engine holds it, so that it can be bound again unchanged.
struct StoredValue {
    SqlStatement::Type type = SqlStatement::Type::Null;
    qint64 integer = 0;
    double real = 0;
    QByteArray bytes;

    static StoredValue of(const SqlStatement& q, int column) {
        StoredValue value;
        value.type = q.type(column);
        switch (value.type) {
        case SqlStatement::Type::Integer:
            value.integer = q.int64(column);
            break;
        case SqlStatement::Type::Real:
            value.real = q.real(column);
            break;
        case SqlStatement::Type::Text:
        case SqlStatement::Type::Blob: {
            const QByteArray raw = q.bytes(column);
            value.bytes = QByteArray(raw.constData(), raw.size());
            break;
        }
        case SqlStatement::Type::Null:
            break;
        }
        return value;
    }
    void bind(SqlStatement& q, int index) const {
        switch (type) {
        case SqlStatement::Type::Integer:
            q.bindInt64(index, integer);
            break;
        case SqlStatement::Type::Real:
            q.bindDouble(index, real);
            break;
        case SqlStatement::Type::Text:
            q.bindText(index, bytes);
            break;
        case SqlStatement::Type::Blob:
            q.bindBlob(index, bytes);
            break;
        case SqlStatement::Type::Null:
            q.bindNull(index);
            break;
        }
    }
};

// The writers' turn on the embedded engine: an exclusive flock on the lock file, which the
// system drops with the descriptor however the holder ends (a killed collect never blocks the
// next one).
class FileWritersTurn : public ManagerDatabase::WritersTurn {
public:
    explicit FileWritersTurn(int fd) : m_fd(fd) {}
    ~FileWritersTurn() override { ::close(m_fd); }
    FileWritersTurn(const FileWritersTurn&) = delete;
    FileWritersTurn& operator=(const FileWritersTurn&) = delete;

private:
    int m_fd;
};

// The path itself, once a database is there (installed now when nothing was).
QString installedPath(const QString& path) {
    if (!QFileInfo::exists(path))
        SqliteManagerDatabase::create(path);
    return path;
}
} // namespace

void SqliteManagerDatabase::create(const QString& path) {
    if (QFileInfo::exists(path))
        throw VcError(ErrorNumber::FileFailure, QStringLiteral("File already exists: ") + path);
    const QFileInfo target(path);
    QDir().mkpath(target.absolutePath());
    // Built beside its final place under a name of its own (two installations at once never
    // share one), and moved in complete.
    QString building;
    do {
        building = target.absolutePath() + QStringLiteral("/.") + target.fileName() + QLatin1Char('.') +
                   QString::number(QRandomGenerator::global()->generate(), 16) + QStringLiteral(".new");
    } while (QFileInfo::exists(building));
    try {
        FileDatabase file(building, FileDatabase::Access::Create, QStringLiteral("Could not create ") + path);
        SqlTransaction transaction(file);
        file.exec(kManagerSchemaSql, QStringLiteral("Could not create ") + path);
        SqliteSchema::migrate(file, kManagerBaseSchemaVersion, SqliteSchema::managerSteps());
        transaction.commit();
        file.close();
    } catch (...) {
        QFile::remove(building);
        QFile::remove(building + QStringLiteral("-journal"));
        throw;
    }
    // Every user's usage lands here: owner-only whatever the umask (the engine gives its journal
    // files the database file's permissions).
    QFile::setPermissions(building, QFile::ReadOwner | QFile::WriteOwner);
    if (!QFile::rename(building, path)) {
        QFile::remove(building);
        // Another start installed it meanwhile: that one is used.
        if (!QFileInfo::exists(path))
            throw VcError(ErrorNumber::FileFailure, QStringLiteral("Could not create ") + path);
    }
}

SqliteManagerDatabase::SqliteManagerDatabase(const QString& path)
    : m_file(installedPath(path), FileDatabase::Access::ReadWrite, QStringLiteral("Could not open ") + path) {
    // Nothing is written before the version is known: a newer file must stay as it is.
    const int version = schemaVersion();
    if (version > kManagerSchemaVersion)
        throw VcError(ErrorNumber::DatabaseFailure,
                      path + QStringLiteral(" was written by a newer version of ") + Captions::kProduct +
                          QStringLiteral(" Manager (database version ") + QString::number(version) +
                          QStringLiteral("; this version reads up to ") +
                          QString::number(kManagerSchemaVersion) +
                          QStringLiteral("). Install that version to use it; the file was not changed."));
    checkSchema();
    // Files written before the version was recorded hold the first schema.
    if (version < kManagerSchemaVersion)
        SqliteSchema::migrate(m_file, kManagerBaseSchemaVersion, SqliteSchema::managerSteps());
    // Every deletion (retention, redaction, an operator's edit) overwrites what it removes, so
    // that deleted titles cannot be read back from the file's free pages.
    m_file.exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA secure_delete=ON");
}

SqliteManagerDatabase::~SqliteManagerDatabase() = default;

void SqliteManagerDatabase::checkSchema() {
    SqlStatement tables(m_file, "SELECT name FROM sqlite_master WHERE type = 'table'", m_file.path());
    QStringList present;
    while (tables.step())
        present << tables.text(0);
    for (const QString& table : kTables) {
        if (!present.contains(table))
            throw VcError(ErrorNumber::DatabaseFailure,
                          m_file.path() + QStringLiteral(" is not a manager database: table ") + table +
                              QStringLiteral(" is missing"));
    }
}

int SqliteManagerDatabase::schemaVersion() const {
    return SqliteSchema::version(m_file);
}

QString SqliteManagerDatabase::writersLockPath(const QString& databasePath) {
    return databasePath + QStringLiteral("-writers");
}

std::unique_ptr<ManagerDatabase::WritersTurn>
SqliteManagerDatabase::takeWritersTurn(const std::function<bool()>& waiting) {
    const QString path = writersLockPath(location());
    const auto failed = [&path](const QString& why) {
        return VcError(ErrorNumber::FileFailure, QStringLiteral("Could not take the writers' lock ") + path +
                                                     QStringLiteral(": ") + why);
    };
    // Made here when missing, never through a link; one that is there must be a plain file of
    // this account, or someone else could hold (or pull away) every writer's turn.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC,
                          S_IRUSR | S_IWUSR);
    if (fd < 0)
        throw failed(QString::fromLocal8Bit(std::strerror(errno)));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
        ::close(fd);
        throw failed(QStringLiteral("it is not a plain file of this account"));
    }
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return std::make_unique<FileWritersTurn>(fd);
        if (errno != EWOULDBLOCK && errno != EINTR) {
            const int error = errno;
            ::close(fd);
            throw failed(QString::fromLocal8Bit(std::strerror(error)));
        }
        if (!waiting || !waiting()) {
            ::close(fd);
            return nullptr;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

std::unique_ptr<ManagerDatabase::Transaction> SqliteManagerDatabase::transaction() {
    return std::make_unique<SqliteTransaction>(m_file);
}

QList<ManagerDatabase::Workstation> SqliteManagerDatabase::workstations() const {
    QList<Workstation> rows;
    SqlStatement q(m_file,
                   "SELECT WorkstationID, Name, Monitored FROM MGRWorkstations ORDER BY WorkstationID");
    while (q.step())
        rows.append({q.value(0).toInt(), q.value(1).toString(), q.value(2).toInt() != 0});
    return rows;
}

int SqliteManagerDatabase::addWorkstation(const QString& name, bool monitored) {
    SqlStatement add(m_file, "INSERT INTO MGRWorkstations (Name, Monitored) VALUES (?, ?)");
    add.bindText(1, name);
    add.bindInt64(2, monitored ? 1 : 0);
    add.run();
    return int(m_file.lastInsertId());
}

void SqliteManagerDatabase::setMonitored(int workstationId, bool monitored) {
    SqlStatement change(m_file, "UPDATE MGRWorkstations SET Monitored = ? WHERE WorkstationID = ?");
    change.bindInt64(1, monitored ? 1 : 0);
    change.bindInt64(2, workstationId);
    change.run();
}

QList<ManagerDatabase::NamedRow> SqliteManagerDatabase::users() const {
    return namedRows(m_file, "SELECT UserNameID, UserName FROM MGRUsers ORDER BY UserNameID");
}

QList<ManagerDatabase::NamedRow> SqliteManagerDatabase::appTitles() const {
    return namedRows(m_file, "SELECT AppTitleID, AppTitle FROM MGRAppTitles ORDER BY AppTitleID");
}

int SqliteManagerDatabase::addUser(const QString& name) {
    return insertName(m_file, "INSERT INTO MGRUsers (UserName) VALUES (?)", name);
}

int SqliteManagerDatabase::addAppTitle(const QString& title) {
    return insertName(m_file, "INSERT INTO MGRAppTitles (AppTitle) VALUES (?)", title);
}

std::optional<QDate> SqliteManagerDatabase::newestDay(int workstationId) const {
    SqlStatement q(m_file,
                   "SELECT Date FROM MGRDaySummary WHERE WorkstationKey = ? ORDER BY Date DESC LIMIT 1");
    q.bindInt64(1, workstationId);
    return dayOf(q);
}

std::optional<QDate> SqliteManagerDatabase::newestDay() const {
    SqlStatement q(m_file, "SELECT MAX(Date) FROM MGRDaySummary");
    return dayOf(q);
}

QList<QDate> SqliteManagerDatabase::distinctDays() const {
    QList<QDate> days;
    StoredValue current;
    {
        SqlStatement first(m_file, "SELECT MIN(Date) FROM MGRDaySummary");
        if (!first.step() || first.isNull(0))
            return days;
        // Stored values keep their type and bytes (a damaged row may hold a number, a blob or
        // text that is no UTF-8), so that every step below moves strictly forward in the
        // engine's own order and the walk always ends.
        current = StoredValue::of(first, 0);
    }
    SqlStatement afterDay(m_file, "SELECT MIN(Date) FROM MGRDaySummary WHERE Date >= ? AND Date > ?");
    SqlStatement afterValue(m_file, "SELECT MIN(Date) FROM MGRDaySummary WHERE Date > ?");
    for (;;) {
        const bool text = current.type == SqlStatement::Type::Text;
        const QDate day = text ? Dates::fromStored(QString::fromUtf8(current.bytes)) : QDate();
        SqlStatement& next = day.isValid() ? afterDay : afterValue;
        if (day.isValid()) {
            if (days.isEmpty() || days.constLast() != day)
                days.append(day);
            // Skip past every value of this calendar day, time-of-day variants included.
            next.bindText(1, Dates::toStored(day.addDays(1)).toUtf8());
            current.bind(next, 2);
        } else {
            current.bind(next, 1);
        }
        if (!next.step() || next.isNull(0))
            break;
        current = StoredValue::of(next, 0);
        next.reset();
    }
    return days;
}

std::unique_ptr<UsageScan> SqliteManagerDatabase::openUsageScan(QDate from, QDate to) const {
    return std::make_unique<SqliteUsageScan>(*this, from, to);
}

QHash<qint64, qint64> SqliteManagerDatabase::secondsByTitle(QDate from, QDate to) const {
    QHash<qint64, qint64> seconds;
    SqlStatement q(m_file, "SELECT s.AppTitleKey, SUM(s.Duration) FROM MGRDaySummary s "
                           "JOIN MGRWorkstations w ON w.WorkstationID = s.WorkstationKey "
                           "JOIN MGRUsers u ON u.UserNameID = s.UserNameKey "
                           "WHERE s.Date >= ? AND s.Date < ? GROUP BY s.AppTitleKey");
    q.bindText(1, Dates::toStored(from));
    q.bindText(2, Dates::afterDay(to));
    while (q.step())
        seconds.insert(q.value(0).toLongLong(), q.value(1).toLongLong());
    return seconds;
}

std::unique_ptr<MergeSession> SqliteManagerDatabase::openMergeSession() {
    return std::make_unique<SqliteMergeSession>(m_file);
}

QList<ManagerDatabase::Grouping> SqliteManagerDatabase::groupings() const {
    QList<Grouping> rows;
    SqlStatement q(m_file, "SELECT rowid, Alias, Rank FROM MGRGroupings ORDER BY rowid");
    while (q.step()) {
        Grouping row{q.value(0).toLongLong(), q.value(1).toString(), 0, std::nullopt};
        const QVariant rank = q.value(2);
        row.rank = rank.toInt();
        bool number = false;
        const qlonglong value = rank.isNull() ? 0 : rank.toLongLong(&number);
        if (number)
            row.rankNumber = value;
        rows.append(row);
    }
    return rows;
}

void SqliteManagerDatabase::replaceGroupings(const QStringList& aliases) {
    m_file.exec("DELETE FROM MGRGroupings");
    SqlStatement insert(m_file, "INSERT INTO MGRGroupings (Alias, Rank) VALUES (?, ?)");
    for (qsizetype i = 0; i < aliases.size(); ++i) {
        insert.bindText(1, aliases.at(i));
        insert.bindInt64(2, i);
        insert.run();
    }
}

void SqliteManagerDatabase::addGrouping(const QString& alias, int rank) {
    SqlStatement insert(m_file, "INSERT INTO MGRGroupings (Alias, Rank) VALUES (?, ?)");
    insert.bindText(1, alias);
    insert.bindInt64(2, rank);
    insert.run();
}

QList<ManagerDatabase::GroupingTitle> SqliteManagerDatabase::groupingTitles() const {
    QList<GroupingTitle> rows;
    SqlStatement q(m_file, "SELECT rowid, AliasKey, WindowTitle FROM MGRGroupingsData ORDER BY rowid");
    while (q.step())
        rows.append({q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString()});
    return rows;
}

QStringList SqliteManagerDatabase::titlesOf(const QString& alias) const {
    SqlStatement q(m_file, "SELECT WindowTitle FROM MGRGroupingsData WHERE AliasKey = ? ORDER BY rowid");
    q.bindText(1, alias);
    QStringList titles;
    while (q.step())
        titles.append(q.value(0).toString());
    return titles;
}

void SqliteManagerDatabase::addGroupingTitle(const QString& alias, const QString& title) {
    SqlStatement insert(m_file, "INSERT INTO MGRGroupingsData (WindowTitle, AliasKey) VALUES (?, ?)");
    insert.bindText(1, title);
    insert.bindText(2, alias);
    insert.run();
}

void SqliteManagerDatabase::removeGroupingTitles(const QString& alias) {
    SqlStatement remove(m_file, "DELETE FROM MGRGroupingsData WHERE AliasKey = ?");
    remove.bindText(1, alias);
    remove.run();
}

void SqliteManagerDatabase::removeGroupingTitle(qint64 rowId) {
    SqlStatement remove(m_file, "DELETE FROM MGRGroupingsData WHERE rowid = ?");
    remove.bindInt64(1, rowId);
    remove.run();
}

void SqliteManagerDatabase::recordDownload(int workstationId, const DownloadStatus& status) {
    SqlStatement record(m_file, "INSERT OR REPLACE INTO MGRDownloadStatus "
                                "(WorkstationKey, AttemptTime, Result, RowsMerged, Reason, NewestDay) "
                                "VALUES (?, ?, ?, ?, ?, ?)");
    record.bindInt64(1, workstationId);
    record.bindText(2, status.attemptTime.toUTC().toString(Qt::ISODate));
    record.bindInt64(3, int(status.result));
    record.bindInt64(4, status.rowsMerged);
    if (status.reason.isEmpty())
        record.bindNull(5);
    else
        record.bindText(5, status.reason);
    if (status.newestDay)
        record.bindText(6, Dates::toStored(*status.newestDay));
    else
        record.bindNull(6);
    record.run();
}

std::optional<ManagerDatabase::DownloadStatus>
SqliteManagerDatabase::downloadStatus(int workstationId) const {
    SqlStatement q(m_file, "SELECT AttemptTime, Result, RowsMerged, Reason, NewestDay "
                           "FROM MGRDownloadStatus WHERE WorkstationKey = ?");
    q.bindInt64(1, workstationId);
    if (!q.step())
        return std::nullopt;
    DownloadStatus status;
    status.attemptTime = QDateTime::fromString(q.value(0).toString(), Qt::ISODate);
    status.result = DownloadStatus::Result(q.value(1).toInt());
    status.rowsMerged = q.value(2).toLongLong();
    status.reason = q.value(3).toString();
    if (!q.isNull(4))
        status.newestDay = Dates::fromStored(q.value(4).toString());
    return status;
}

void SqliteManagerDatabase::recordAgentVersion(int workstationId, const QString& version) {
    if (version.isEmpty()) {
        SqlStatement forget(m_file, "DELETE FROM MGRAgentVersions WHERE WorkstationKey = ?");
        forget.bindInt64(1, workstationId);
        forget.run();
        return;
    }
    SqlStatement record(m_file,
                        "INSERT OR REPLACE INTO MGRAgentVersions (WorkstationKey, Version) VALUES (?, ?)");
    record.bindInt64(1, workstationId);
    record.bindText(2, version);
    record.run();
}

QString SqliteManagerDatabase::agentVersion(int workstationId) const {
    SqlStatement q(m_file, "SELECT Version FROM MGRAgentVersions WHERE WorkstationKey = ?");
    q.bindInt64(1, workstationId);
    return q.step() ? q.value(0).toString() : QString();
}

ManagerDatabase::AuditRow SqliteManagerDatabase::appendAuditRow(AuditRow row, const AuditChain& chain) {
    // A report reads without the write lock while a download writes; its audit row waits for the
    // download's next commit (up to a minute) rather than failing the report at once. The engine
    // does not always wait by itself (a connection that read first is refused at once), so the
    // append is tried again.
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        try {
            return appendAuditRowOnce(row, chain);
        } catch (const VcError&) {
            if (m_file.inTransaction() || waited.elapsed() > 60000)
                throw;
            QThread::msleep(100);
        }
    }
}

ManagerDatabase::AuditRow SqliteManagerDatabase::appendAuditRowOnce(AuditRow row, const AuditChain& chain) {
    SqlTransaction unit(m_file, SqlTransaction::Lock::Immediate,
                        QStringLiteral("Could not write the audit log"));
    QByteArray previous;
    {
        SqlStatement last(m_file, "SELECT Sequence, Hash FROM MGRAuditLog ORDER BY Sequence DESC LIMIT 1");
        row.sequence = 1;
        if (last.step()) {
            row.sequence = last.int64(0) + 1;
            previous = last.text(1).toLatin1();
        }
    }
    row.time = row.time.toUTC();
    row.hash = chain(previous, row);
    SqlStatement insert(m_file, "INSERT INTO MGRAuditLog (Sequence, Time, Account, Host, Origin, Action, "
                                "Details, Hash) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
    insert.bindInt64(1, row.sequence);
    insert.bindText(2, row.time.toString(Qt::ISODate));
    insert.bindText(3, row.account);
    insert.bindText(4, row.host);
    insert.bindText(5, row.origin);
    insert.bindText(6, row.action);
    insert.bindText(7, row.details);
    insert.bindText(8, row.hash);
    insert.run();
    unit.commit();
    return row;
}

QList<ManagerDatabase::AuditRow> SqliteManagerDatabase::auditRows() const {
    QList<AuditRow> rows;
    SqlStatement q(m_file, "SELECT Sequence, Time, Account, Host, Origin, Action, Details, Hash "
                           "FROM MGRAuditLog ORDER BY Sequence");
    while (q.step()) {
        AuditRow row;
        row.sequence = q.int64(0);
        row.time = QDateTime::fromString(q.text(1), Qt::ISODate);
        row.account = q.text(2);
        row.host = q.text(3);
        row.origin = q.text(4);
        row.action = q.text(5);
        row.details = q.text(6);
        row.hash = q.text(7).toUtf8();
        rows.append(row);
    }
    return rows;
}

ManagerDatabase::PurgeCounts SqliteManagerDatabase::purgeUsageBefore(QDate day) {
    PurgeCounts counts;
    SqlTransaction unit(m_file, SqlTransaction::Lock::Immediate,
                        QStringLiteral("Could not delete the old usage"));
    SqlStatement usage(m_file, "DELETE FROM MGRDaySummary WHERE Date < ?");
    usage.bindText(1, Dates::toStored(day));
    usage.run();
    counts.usageRows = sqlite3_changes64(m_file.handle());
    if (counts.usageRows > 0) {
        m_file.exec("DELETE FROM MGRUsers WHERE NOT EXISTS "
                    "(SELECT 1 FROM MGRDaySummary s WHERE s.UserNameKey = MGRUsers.UserNameID)");
        counts.users = sqlite3_changes64(m_file.handle());
        m_file.exec("DELETE FROM MGRAppTitles WHERE NOT EXISTS "
                    "(SELECT 1 FROM MGRDaySummary s WHERE s.AppTitleKey = MGRAppTitles.AppTitleID)");
        counts.titles = sqlite3_changes64(m_file.handle());
    }
    unit.commit();
    return counts;
}

bool SqliteManagerDatabase::scrubFreedSpace() {
    if (m_file.inTransaction())
        throw VcError(ErrorNumber::DatabaseFailure,
                      QStringLiteral("Freed space cannot be overwritten inside a unit of work"));
    // Secure deletion zeroed the removed content in the page images the deletions wrote; the
    // log may still hold earlier images of those pages until it is written back and emptied.
    // The vacuum leaves no free page behind.
    m_file.exec("VACUUM", QStringLiteral("Could not compact ") + m_file.path());
    SqlStatement checkpoint(m_file, "PRAGMA wal_checkpoint(TRUNCATE)", m_file.path());
    return checkpoint.step() && checkpoint.int64(0) == 0;
}

QList<ManagerDatabase::RedactionRule> SqliteManagerDatabase::redactionRules() const {
    QList<RedactionRule> rules;
    SqlStatement q(m_file, "SELECT Pattern, Replacement FROM MGRRedactionRules ORDER BY Position");
    while (q.step())
        rules.append({q.value(0).toString(), q.value(1).toString()});
    return rules;
}

void SqliteManagerDatabase::replaceRedactionRules(const QList<RedactionRule>& rules) {
    SqlTransaction unit(m_file, SqlTransaction::Lock::Immediate,
                        QStringLiteral("Could not store the redaction rules"));
    m_file.exec("DELETE FROM MGRRedactionRules");
    SqlStatement insert(m_file,
                        "INSERT INTO MGRRedactionRules (Position, Pattern, Replacement) VALUES (?, ?, ?)");
    for (qsizetype i = 0; i < rules.size(); ++i) {
        insert.bindInt64(1, i + 1);
        insert.bindText(2, rules.at(i).pattern);
        insert.bindText(3, rules.at(i).replacement);
        insert.run();
    }
    unit.commit();
}

qint64 SqliteManagerDatabase::retitleUsage(int fromTitleKey, int toTitleKey) {
    SqlTransaction unit(m_file, SqlTransaction::Lock::Immediate,
                        QStringLiteral("Could not rewrite the titles"));
    // The summed rows of both titles, kept aside while the originals go.
    m_file.exec("CREATE TEMP TABLE IF NOT EXISTS RetitledUsage (UserNameKey INTEGER, WorkstationKey INTEGER, "
                "Date TEXT, Duration)");
    m_file.exec("DELETE FROM temp.RetitledUsage");
    SqlStatement moved(m_file, "SELECT count(*) FROM MGRDaySummary WHERE AppTitleKey = ?");
    moved.bindInt64(1, fromTitleKey);
    moved.step();
    const qint64 rows = moved.value(0).toLongLong();
    SqlStatement sum(m_file, "INSERT INTO temp.RetitledUsage SELECT UserNameKey, WorkstationKey, Date, "
                             "sum(Duration) FROM MGRDaySummary WHERE AppTitleKey IN (?, ?) "
                             "GROUP BY UserNameKey, WorkstationKey, Date");
    sum.bindInt64(1, fromTitleKey);
    sum.bindInt64(2, toTitleKey);
    sum.run();
    SqlStatement remove(m_file, "DELETE FROM MGRDaySummary WHERE AppTitleKey IN (?, ?)");
    remove.bindInt64(1, fromTitleKey);
    remove.bindInt64(2, toTitleKey);
    remove.run();
    SqlStatement insert(
        m_file, "INSERT INTO MGRDaySummary (UserNameKey, AppTitleKey, WorkstationKey, Duration, "
                "Date) SELECT UserNameKey, ?, WorkstationKey, Duration, Date FROM temp.RetitledUsage");
    insert.bindInt64(1, toTitleKey);
    insert.run();
    m_file.exec("DELETE FROM temp.RetitledUsage");
    SqlStatement title(m_file, "DELETE FROM MGRAppTitles WHERE AppTitleID = ?");
    title.bindInt64(1, fromTitleKey);
    title.run();
    unit.commit();
    return rows;
}
