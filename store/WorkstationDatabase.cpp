// Read-only access to a workstation database.
#include "store/WorkstationDatabase.h"

#include "base/VcError.h"
#include "store/Dates.h"
#include "store/SqlConnection.h"
#include "store/SqlStatement.h"
#include "store/SqlUtil.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

WorkstationDatabase::WorkstationDatabase(const QString& path) {
    if (!QFileInfo(path).isFile())
        throw VcError(ErrorNumber::FileFailure, QStringLiteral("File not found: ") + path);
    m_connection = std::make_unique<SqlConnection>(path, SqlConnection::Access::ReadOnly, path);
}

WorkstationDatabase::~WorkstationDatabase() = default;

std::optional<QStringList> WorkstationDatabase::column(const QString& table, const QString& field) const {
    QSqlQuery q(m_connection->db());
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
    QSqlQuery q(m_connection->db());
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
    SqlConnection connection(path, SqlConnection::Access::ReadWrite, path);
    SqlStatement::exec(connection.handle(), kWorkstationSchemaSql, path);
}
