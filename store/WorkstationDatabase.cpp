// Read-only access to a workstation database.
#include "store/WorkstationDatabase.h"

#include "base/VcError.h"
#include "store/Dates.h"
#include "store/SqlUtil.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace {
QAtomicInt g_counter;
}

WorkstationDatabase::WorkstationDatabase(const QString& path) {
    if (!QFileInfo(path).isFile())
        throw VcError(ErrorNumber::FileFailure, QStringLiteral("File not found: ") + path);
    m_connection = QStringLiteral("vc_workstation_") + QString::number(g_counter.fetchAndAddRelaxed(1));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    bool ok = db.open();
    QSqlError error = db.lastError();
    if (ok) {
        QSqlQuery probe(db);
        ok = probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"));
        if (!ok)
            error = probe.lastError();
    }
    if (!ok) {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connection);
        throw Sql::errorOf(error, path);
    }
}

WorkstationDatabase::~WorkstationDatabase() {
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

std::optional<QStringList> WorkstationDatabase::column(const QString& table, const QString& field) const {
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT %1 FROM %2").arg(field, table)))
        return std::nullopt;
    QStringList values;
    while (q.next())
        values << q.value(0).toString();
    // A read that stops on an error is not the end of the table: half a list must not pass.
    if (q.lastError().isValid())
        throw Sql::errorOf(q.lastError(), table);
    return values;
}

std::optional<QStringList> WorkstationDatabase::userNames() const {
    return column(QStringLiteral("PCUsers"), QStringLiteral("UserName"));
}

std::optional<QStringList> WorkstationDatabase::appTitles() const {
    return column(QStringLiteral("PCAppTitles"), QStringLiteral("AppTitle"));
}

bool WorkstationDatabase::forEachDayRow(const std::function<void(const DayRow&)>& visit,
                                        std::optional<QDate> after) const {
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    QString sql = QStringLiteral("SELECT Date, UserName, AppTitle, Duration FROM PCDaySummary");
    // ISO date text sorts as the days do, so a day after `after` is text at or above the next
    // day's; values that are not text are passed on for the caller to judge.
    if (after)
        sql += QStringLiteral(" WHERE NOT (typeof(Date) = 'text' AND Date < ?)");
    if (!q.prepare(sql))
        return false;
    if (after)
        q.addBindValue(Dates::toStored(after->addDays(1)));
    if (!q.exec())
        return false;
    DayRow row;
    while (q.next()) {
        row.date = q.value(0);
        row.userName = q.value(1);
        row.appTitle = q.value(2);
        row.duration = q.value(3);
        visit(row);
    }
    if (q.lastError().isValid())
        throw Sql::errorOf(q.lastError(), QStringLiteral("PCDaySummary"));
    return true;
}

const char* const kWorkstationSchemaSql =
    "CREATE TABLE PCUsers (UserID INTEGER PRIMARY KEY AUTOINCREMENT, UserName TEXT);\n"
    "CREATE TABLE PCAppTitles (AppTitleID INTEGER PRIMARY KEY AUTOINCREMENT, AppTitle TEXT);\n"
    "CREATE TABLE PCDaySummary (Date TEXT, UserName TEXT, AppTitle TEXT, Duration INTEGER);\n";

void CreateWorkstationDatabase(const QString& path) {
    const QString name = QStringLiteral("vc_create_ws_") + QString::number(g_counter.fetchAndAddRelaxed(1));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open())
            throw Sql::errorOf(db.lastError(), path);
        for (const QString& statement :
             QString::fromUtf8(kWorkstationSchemaSql).split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            Sql::run(db, statement);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}
