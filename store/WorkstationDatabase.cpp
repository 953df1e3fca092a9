// Read-only access to a workstation database.
#include "store/WorkstationDatabase.h"

#include "base/VcError.h"
#include "store/Dates.h"
#include "store/SqlConnection.h"
#include "store/SqlStatement.h"
#include "store/SqlUtil.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <sqlite3.h>

WorkstationDatabase::WorkstationDatabase(const QString& path) {
    if (!QFileInfo(path).isFile())
        throw VcError(ErrorNumber::FileFailure, QStringLiteral("File not found: ") + path);
    m_connection = std::make_unique<SqlConnection>(path, SqlConnection::Access::ReadOnly, path);
    // The file comes from another machine: no functions or virtual tables run from its schema,
    // no writes to its internals, and every read ends within the budget.
    sqlite3* handle = m_connection->handle();
    sqlite3_db_config(handle, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(handle, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    m_deadline = std::chrono::steady_clock::now() + kReadBudget;
    sqlite3_progress_handler(
        handle, 10000,
        [](void* deadline) -> int {
            return std::chrono::steady_clock::now() >
                           *static_cast<std::chrono::steady_clock::time_point*>(deadline)
                       ? 1
                       : 0;
        },
        &m_deadline);
}

WorkstationDatabase::~WorkstationDatabase() = default;

void WorkstationDatabase::requireTable(const QString& table) const {
    // An agent file is input from another machine: a view or anything else under a table's name
    // could make the read run without end, so only a real table is read.
    QSqlQuery q(m_connection->db());
    q.prepare(QStringLiteral("SELECT type FROM sqlite_master WHERE name = ? COLLATE NOCASE"));
    q.addBindValue(table);
    if (!q.exec())
        throw Sql::errorOf(q.lastError(), table);
    while (q.next()) {
        if (q.value(0).toString() != QLatin1String("table"))
            throw VcError(ErrorNumber::DatabaseFailure, table + QStringLiteral(" is not a table"));
    }
    if (q.lastError().isValid())
        throw Sql::errorOf(q.lastError(), table);
}

namespace {

// A statement on the agent file, or nothing when the engine cannot prepare it (a table or
// field missing).
std::unique_ptr<SqlStatement> prepared(sqlite3* db, const QByteArray& sql, const QString& context) {
    try {
        return std::make_unique<SqlStatement>(db, sql.constData(), context);
    } catch (const VcError&) {
        return nullptr;
    }
}

QString textOf(sqlite3_stmt* statement, int column) {
    const auto* text = static_cast<const QChar*>(sqlite3_column_text16(statement, column));
    return text ? QString(text, sqlite3_column_bytes16(statement, column) / qsizetype(sizeof(QChar)))
                : QString();
}

// A column as QtSql's driver gives it, so that every reader of an agent file sees the same
// texts (the engine's own UTF-16 conversion) and types; the rows are read straight from the
// engine since a download reads millions of them.
QVariant valueOf(sqlite3_stmt* statement, int column) {
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(statement, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(statement, column));
    case SQLITE_NULL:
        return QVariant(QMetaType::fromType<QString>());
    case SQLITE_BLOB:
        return QVariant(QByteArray(static_cast<const char*>(sqlite3_column_blob(statement, column)),
                                   sqlite3_column_bytes(statement, column)));
    default:
        return QVariant(textOf(statement, column));
    }
}

} // namespace

std::optional<QStringList> WorkstationDatabase::column(const QString& table, const QString& field) const {
    requireTable(table);
    // Only a statement the engine cannot prepare means the table or field is missing; a failure
    // once it runs (a damaged page) fails the whole file, or part of a day would pass. A read
    // that stops on an error is not the end of the table: half a list must not pass.
    const auto q = prepared(m_connection->handle(),
                            QStringLiteral("SELECT %1 FROM %2").arg(field, table).toUtf8(), table);
    if (!q)
        return std::nullopt;
    QStringList values;
    while (q->step())
        values << (sqlite3_column_type(q->handle(), 0) == SQLITE_TEXT ? textOf(q->handle(), 0)
                                                                      : valueOf(q->handle(), 0).toString());
    return values;
}

QString WorkstationDatabase::agentVersion() const {
    // An extra the console can do without: nothing about it may fail the file.
    try {
        const QString table = QStringLiteral("PCAgentInfo");
        requireTable(table);
        const auto q = prepared(m_connection->handle(),
                                "SELECT Value FROM PCAgentInfo WHERE Name = 'AgentVersion' AND "
                                "typeof(Value) = 'text' AND length(Value) <= 32 LIMIT 1",
                                table);
        if (!q || !q->step())
            return {};
        const QString version = textOf(q->handle(), 0);
        static const QRegularExpression sound(QStringLiteral("^[0-9A-Za-z.+-]{1,32}$"));
        return sound.match(version).hasMatch() ? version : QString();
    } catch (const VcError&) {
        return {};
    }
}

std::optional<QStringList> WorkstationDatabase::userNames() const {
    return column(QStringLiteral("PCUsers"), QStringLiteral("UserName"));
}

std::optional<QStringList> WorkstationDatabase::appTitles() const {
    return column(QStringLiteral("PCAppTitles"), QStringLiteral("AppTitle"));
}

bool WorkstationDatabase::forEachDayRow(const std::function<void(const DayRow&)>& visit,
                                        std::optional<QDate> after) const {
    requireTable(QStringLiteral("PCDaySummary"));
    QByteArray sql = "SELECT Date, UserName, AppTitle, Duration FROM PCDaySummary";
    // ISO date text sorts as the days do, so a day after `after` is text at or above the next
    // day's; values that are not text are passed on for the caller to judge.
    if (after)
        sql += " WHERE NOT (typeof(Date) = 'text' AND Date < ?)";
    const auto q = prepared(m_connection->handle(), sql, QStringLiteral("PCDaySummary"));
    if (!q)
        return false;
    if (after)
        q->bindText(1, Dates::toStored(after->addDays(1)));
    sqlite3_stmt* statement = q->handle();
    DayRow row;
    while (q->step()) {
        row.date = valueOf(statement, 0);
        row.userName = valueOf(statement, 1);
        row.appTitle = valueOf(statement, 2);
        row.duration = valueOf(statement, 3);
        visit(row);
    }
    return true;
}

const char* const kWorkstationSchemaSql =
    "CREATE TABLE PCUsers (UserID INTEGER PRIMARY KEY AUTOINCREMENT, UserName TEXT);\n"
    "CREATE TABLE PCAppTitles (AppTitleID INTEGER PRIMARY KEY AUTOINCREMENT, AppTitle TEXT);\n"
    "CREATE TABLE PCDaySummary (Date TEXT, UserName TEXT, AppTitle TEXT, Duration INTEGER);\n";

void createWorkstationDatabase(const QString& path) {
    SqlConnection connection(path, SqlConnection::Access::ReadWrite, path);
    SqlStatement::exec(connection.handle(), kWorkstationSchemaSql, path);
}
