// Prepared statements on the engine handle.
#include "store/RawStatement.h"

#include "base/VcError.h"

#include <sqlite3.h>

RawStatement::RawStatement(sqlite3* db, const char* sql) : m_db(db) {
    if (!db)
        throw VcError(ErrorNumber::DatabaseFailure, QStringLiteral("The database is not open"));
    if (sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr) != SQLITE_OK)
        fail(db, QString::fromUtf8(sql));
}

RawStatement::~RawStatement() {
    sqlite3_finalize(m_statement);
}

void RawStatement::bindStatic(int column, const QByteArray& text) {
    sqlite3_bind_text(m_statement, column, text.constData(), static_cast<int>(text.size()), SQLITE_STATIC);
}

void RawStatement::bindCopy(int column, const QByteArray& text) {
    sqlite3_bind_text(m_statement, column, text.constData(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

bool RawStatement::step() {
    const int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    fail(m_db, QString::fromUtf8(sqlite3_sql(m_statement)));
}

void RawStatement::run() {
    while (step()) {
    }
    reset();
}

void RawStatement::reset() {
    sqlite3_reset(m_statement);
}

void RawStatement::exec(sqlite3* db, const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(db, QString::fromUtf8(sql));
}

void RawStatement::fail(sqlite3* db, const QString& context) {
    const QString message = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("no database");
    const int number =
        db && sqlite3_errcode(db) == SQLITE_NOTADB ? ErrorNumber::NotADatabase : ErrorNumber::DatabaseFailure;
    throw VcError(number, context + QStringLiteral(": ") + message);
}

QByteArray rawColumnBytes(sqlite3_stmt* statement, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    const int size = sqlite3_column_bytes(statement, column);
    return text ? QByteArray::fromRawData(text, size) : QByteArray();
}
