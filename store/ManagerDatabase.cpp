// Manager database: installation, schema check and shared queries.
#include "store/ManagerDatabase.h"

#include "base/Captions.h"
#include "base/VcError.h"
#include "store/Dates.h"
#include "store/schema.h"
#include "store/SchemaMigration.h"
#include "store/SqlConnection.h"
#include "store/SqlStatement.h"
#include "store/SqlTransaction.h"
#include "store/SqlUtil.h"

#include <algorithm>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QVariant>

namespace {
const QStringList kTables = {QStringLiteral("MGRWorkstations"),  QStringLiteral("MGRUsers"),
                             QStringLiteral("MGRAppTitles"),     QStringLiteral("MGRDaySummary"),
                             QStringLiteral("MGRDaySummaryTmp"), QStringLiteral("MGRGroupings"),
                             QStringLiteral("MGRGroupingsData")};

QList<ManagerDatabase::NamedRow> namedRows(const QSqlDatabase& db, const QString& sql) {
    QList<ManagerDatabase::NamedRow> rows;
    QSqlQuery q = Sql::run(db, sql);
    while (q.next())
        rows.append({q.value(0).toInt(), q.value(1).toString()});
    return rows;
}

std::optional<QDate> dayOf(QSqlQuery& q) {
    if (!q.next() || q.value(0).isNull())
        return std::nullopt;
    const QDate day = Dates::fromStored(q.value(0).toString());
    if (!day.isValid())
        return std::nullopt;
    return day;
}
} // namespace

void ManagerDatabase::create(const QString& path) {
    if (QFileInfo::exists(path))
        throw VcError(ErrorNumber::FileFailure, QStringLiteral("File already exists: ") + path);
    QDir().mkpath(QFileInfo(path).absolutePath());
    // Build the new file beside its final place and move it in complete.
    const QString building = path + QStringLiteral(".new");
    QFile::remove(building);
    try {
        SqlConnection connection(building, SqlConnection::Access::ReadWrite,
                                 QStringLiteral("Could not create ") + path);
        SqlTransaction transaction(connection.handle());
        SqlStatement::exec(connection.handle(), kManagerSchemaSql,
                           QStringLiteral("Could not create ") + path);
        SchemaMigration::migrate(connection.handle(), kManagerBaseSchemaVersion,
                                 SchemaMigration::managerSteps());
        transaction.commit();
    } catch (...) {
        QFile::remove(building);
        throw;
    }
    // Every user's usage lands here: owner-only whatever the umask (the engine gives its journal
    // files the database file's permissions).
    QFile::setPermissions(building, QFile::ReadOwner | QFile::WriteOwner);
    if (!QFile::rename(building, path)) {
        QFile::remove(building);
        throw VcError(ErrorNumber::FileFailure, QStringLiteral("Could not create ") + path);
    }
}

ManagerDatabase::ManagerDatabase(const QString& path) : m_path(path) {
    if (!QFileInfo::exists(path))
        create(path);
    m_connection = std::make_unique<SqlConnection>(path, SqlConnection::Access::ReadWrite,
                                                   QStringLiteral("Could not open ") + path);
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
        SchemaMigration::migrate(handle(), std::max(version, kManagerBaseSchemaVersion),
                                 SchemaMigration::managerSteps());
    SqlStatement::exec(handle(), "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL");
}

ManagerDatabase::~ManagerDatabase() = default;

void ManagerDatabase::checkSchema() {
    SqlStatement tables(handle(), "SELECT name FROM sqlite_master WHERE type = 'table'", m_path);
    QStringList present;
    while (tables.step())
        present << tables.text(0);
    for (const QString& table : kTables) {
        if (!present.contains(table))
            throw VcError(ErrorNumber::DatabaseFailure,
                          m_path + QStringLiteral(" is not a manager database: table ") + table +
                              QStringLiteral(" is missing"));
    }
}

QSqlDatabase ManagerDatabase::db() const {
    return m_connection->db();
}

sqlite3* ManagerDatabase::handle() const {
    return m_connection->handle();
}

int ManagerDatabase::schemaVersion() const {
    SqlStatement version(handle(), "PRAGMA user_version", m_path);
    return version.step() ? int(version.int64(0)) : 0;
}

QList<ManagerDatabase::Workstation> ManagerDatabase::workstations() const {
    QList<Workstation> rows;
    QSqlQuery q = Sql::run(db(), QStringLiteral("SELECT WorkstationID, Name, Monitored FROM MGRWorkstations "
                                                "ORDER BY WorkstationID"));
    while (q.next())
        rows.append({q.value(0).toInt(), q.value(1).toString(), q.value(2).toInt() != 0});
    return rows;
}

QList<ManagerDatabase::NamedRow> ManagerDatabase::users() const {
    return namedRows(db(), QStringLiteral("SELECT UserNameID, UserName FROM MGRUsers ORDER BY UserNameID"));
}

QList<ManagerDatabase::NamedRow> ManagerDatabase::appTitles() const {
    return namedRows(db(),
                     QStringLiteral("SELECT AppTitleID, AppTitle FROM MGRAppTitles ORDER BY AppTitleID"));
}

int ManagerDatabase::addUser(const QString& name) {
    QSqlQuery q = Sql::run(db(), QStringLiteral("INSERT INTO MGRUsers (UserName) VALUES (?)"), {name});
    return q.lastInsertId().toInt();
}

int ManagerDatabase::addAppTitle(const QString& title) {
    QSqlQuery q = Sql::run(db(), QStringLiteral("INSERT INTO MGRAppTitles (AppTitle) VALUES (?)"), {title});
    return q.lastInsertId().toInt();
}

std::optional<QDate> ManagerDatabase::newestDay(int workstationId) const {
    QSqlQuery q = Sql::run(db(),
                           QStringLiteral("SELECT Date FROM MGRDaySummary WHERE WorkstationKey = ? "
                                          "ORDER BY Date DESC LIMIT 1"),
                           {workstationId});
    return dayOf(q);
}

std::optional<QDate> ManagerDatabase::newestDay() const {
    QSqlQuery q = Sql::run(db(), QStringLiteral("SELECT MAX(Date) FROM MGRDaySummary"));
    return dayOf(q);
}

QList<QDate> ManagerDatabase::distinctDays() const {
    QList<QDate> days;
    QSqlQuery first = Sql::run(db(), QStringLiteral("SELECT MIN(Date) FROM MGRDaySummary"));
    if (!first.next() || first.value(0).isNull())
        return days;
    // Stored values keep their type (a damaged row may hold a number or a blob), so that every
    // step below moves strictly forward in the engine's own order and the walk always ends.
    QVariant current = first.value(0);
    first.finish();
    QSqlQuery afterDay = Sql::prepare(
        db(), QStringLiteral("SELECT MIN(Date) FROM MGRDaySummary WHERE Date >= ? AND Date > ?"));
    QSqlQuery afterValue =
        Sql::prepare(db(), QStringLiteral("SELECT MIN(Date) FROM MGRDaySummary WHERE Date > ?"));
    for (;;) {
        const bool text = current.typeId() == QMetaType::QString;
        const QDate day = text ? Dates::fromStored(current.toString()) : QDate();
        QSqlQuery& next = day.isValid() ? afterDay : afterValue;
        if (day.isValid()) {
            if (days.isEmpty() || days.constLast() != day)
                days.append(day);
            // Skip past every value of this calendar day, time-of-day variants included.
            Sql::exec(next, {Dates::toStored(day.addDays(1)), current});
        } else {
            Sql::exec(next, {current});
        }
        if (!next.next() || next.value(0).isNull())
            break;
        current = next.value(0);
        next.finish();
    }
    return days;
}

QList<ManagerDatabase::Grouping> ManagerDatabase::groupings() const {
    QList<Grouping> rows;
    QSqlQuery q =
        Sql::run(db(), QStringLiteral("SELECT rowid, Alias, Rank FROM MGRGroupings ORDER BY rowid"));
    while (q.next())
        rows.append({q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toInt()});
    return rows;
}

QList<ManagerDatabase::GroupingTitle> ManagerDatabase::groupingTitles() const {
    QList<GroupingTitle> rows;
    QSqlQuery q = Sql::run(db(), QStringLiteral("SELECT rowid, AliasKey, WindowTitle FROM MGRGroupingsData "
                                                "ORDER BY rowid"));
    while (q.next())
        rows.append({q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString()});
    return rows;
}

void ManagerDatabase::forEachUsageRow(QDate from, QDate to,
                                      const std::function<void(const UsageRow&)>& visit) const {
    QSqlQuery q = Sql::run(db(),
                           QStringLiteral("SELECT w.Name, s.Duration, s.Date, u.UserName, t.AppTitle "
                                          "FROM MGRDaySummary s "
                                          "JOIN MGRWorkstations w ON w.WorkstationID = s.WorkstationKey "
                                          "JOIN MGRUsers u ON u.UserNameID = s.UserNameKey "
                                          "JOIN MGRAppTitles t ON t.AppTitleID = s.AppTitleKey "
                                          "WHERE s.Date >= ? AND s.Date < ?"),
                           {Dates::toStored(from), Dates::toStored(to.addDays(1))});
    UsageRow row;
    while (q.next()) {
        row.workstation = q.value(0).toString();
        row.duration = q.value(1).toLongLong();
        row.date = Dates::fromStored(q.value(2).toString());
        row.userName = q.value(3).toString();
        row.appTitle = q.value(4).toString();
        visit(row);
    }
}

void ManagerDatabase::recordDownload(int workstationId, const DownloadStatus& status) {
    Sql::run(db(),
             QStringLiteral("INSERT OR REPLACE INTO MGRDownloadStatus "
                            "(WorkstationKey, AttemptTime, Result, RowsMerged, Reason, NewestDay) "
                            "VALUES (?, ?, ?, ?, ?, ?)"),
             {workstationId, status.attemptTime.toUTC().toString(Qt::ISODate), int(status.result),
              status.rowsMerged, status.reason.isEmpty() ? QVariant() : QVariant(status.reason),
              status.newestDay ? QVariant(Dates::toStored(*status.newestDay)) : QVariant()});
}

void ManagerDatabase::recordAgentVersion(int workstationId, const QString& version) {
    if (version.isEmpty())
        Sql::run(db(), QStringLiteral("DELETE FROM MGRAgentVersions WHERE WorkstationKey = ?"),
                 {workstationId});
    else
        Sql::run(
            db(),
            QStringLiteral("INSERT OR REPLACE INTO MGRAgentVersions (WorkstationKey, Version) VALUES (?, ?)"),
            {workstationId, version});
}

QString ManagerDatabase::agentVersion(int workstationId) const {
    QSqlQuery q =
        Sql::run(db(), QStringLiteral("SELECT Version FROM MGRAgentVersions WHERE WorkstationKey = ?"),
                 {workstationId});
    return q.next() ? q.value(0).toString() : QString();
}

std::optional<ManagerDatabase::DownloadStatus> ManagerDatabase::downloadStatus(int workstationId) const {
    QSqlQuery q = Sql::run(db(),
                           QStringLiteral("SELECT AttemptTime, Result, RowsMerged, Reason, NewestDay "
                                          "FROM MGRDownloadStatus WHERE WorkstationKey = ?"),
                           {workstationId});
    if (!q.next())
        return std::nullopt;
    DownloadStatus status;
    status.attemptTime = QDateTime::fromString(q.value(0).toString(), Qt::ISODate);
    status.result = DownloadStatus::Result(q.value(1).toInt());
    status.rowsMerged = q.value(2).toLongLong();
    status.reason = q.value(3).toString();
    if (!q.value(4).isNull())
        status.newestDay = Dates::fromStored(q.value(4).toString());
    return status;
}
