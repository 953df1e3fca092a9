// Manager database: installation, schema check and shared queries.
#include "store/ManagerDatabase.h"

#include "base/VcError.h"
#include "store/Dates.h"
#include "store/SqlUtil.h"
#include "store/schema.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <sqlite3.h>

namespace {
QAtomicInt g_connectionCounter;

QString newConnectionName(const QString& prefix) {
    return prefix + QString::number(g_connectionCounter.fetchAndAddRelaxed(1));
}

const QStringList kTables = {QStringLiteral("MGRWorkstations"), QStringLiteral("MGRUsers"),
                             QStringLiteral("MGRAppTitles"),    QStringLiteral("MGRDaySummary"),
                             QStringLiteral("MGRDaySummaryTmp"), QStringLiteral("MGRGroupings"),
                             QStringLiteral("MGRGroupingsData")};

// Runs a script of statements separated by semicolons at line ends.
void runScript(const QSqlDatabase& db, const QString& script) {
    QString statement;
    for (const QString& line : script.split(QLatin1Char('\n'))) {
        if (line.trimmed().startsWith(QLatin1String("--")))
            continue;
        statement += line + QLatin1Char('\n');
        if (line.trimmed().endsWith(QLatin1Char(';'))) {
            Sql::run(db, statement.trimmed());
            statement.clear();
        }
    }
}

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
    {
        const QString name = newConnectionName(QStringLiteral("vc_install_"));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(building);
            if (!db.open())
                throw Sql::errorOf(db.lastError(), QStringLiteral("Could not create ") + path);
            try {
                Sql::Transaction transaction(db);
                runScript(db, QString::fromUtf8(kManagerSchemaSql));
                transaction.commit();
            } catch (...) {
                db.close();
                QFile::remove(building);
                throw;
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
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
    m_connection = newConnectionName(QStringLiteral("vc_manager_"));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    try {
        if (!db.open())
            throw Sql::errorOf(db.lastError(), QStringLiteral("Could not open ") + path);
        checkSchema();
        Sql::run(db, QStringLiteral("PRAGMA journal_mode=WAL"));
        Sql::run(db, QStringLiteral("PRAGMA synchronous=NORMAL"));
    } catch (...) {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connection);
        throw;
    }
}

ManagerDatabase::~ManagerDatabase() {
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

void ManagerDatabase::checkSchema() {
    const QSqlDatabase database = db();
    QSqlQuery q(database);
    // Reading the schema is what tells a database from any other file.
    if (!q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'")))
        throw Sql::errorOf(q.lastError(), m_path);
    QStringList present;
    while (q.next())
        present << q.value(0).toString();
    for (const QString& table : kTables) {
        if (!present.contains(table))
            throw VcError(ErrorNumber::DatabaseFailure,
                          m_path + QStringLiteral(" is not a manager database: table ") + table +
                              QStringLiteral(" is missing"));
    }
}

QSqlDatabase ManagerDatabase::db() const { return QSqlDatabase::database(m_connection, false); }

sqlite3* ManagerDatabase::handle() const {
    const QVariant v = db().driver()->handle();
    if (v.isValid() && qstrcmp(v.typeName(), "sqlite3*") == 0)
        return *static_cast<sqlite3* const*>(v.data());
    return nullptr;
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
    return namedRows(db(), QStringLiteral("SELECT AppTitleID, AppTitle FROM MGRAppTitles ORDER BY AppTitleID"));
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
    QSqlQuery afterValue = Sql::prepare(db(), QStringLiteral("SELECT MIN(Date) FROM MGRDaySummary WHERE Date > ?"));
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
    QSqlQuery q = Sql::run(db(), QStringLiteral("SELECT rowid, Alias, Rank FROM MGRGroupings ORDER BY rowid"));
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

void ManagerDatabase::forEachUsageRow(QDate from, QDate to, const std::function<void(const UsageRow&)>& visit) const {
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
