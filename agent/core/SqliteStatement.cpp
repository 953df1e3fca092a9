// Prepared statement wrapper.
#include "agent/core/SqliteStatement.h"

#include "agent/core/AgentError.h"
#include "agent/core/SqliteDb.h"

#include <sqlite3.h>

namespace vcagent {

SqliteStatement::SqliteStatement(SqliteDb& db, const char* sql) : m_db(db) {
    if (sqlite3_prepare_v2(db.handle(), sql, -1, &m_stmt, nullptr) != SQLITE_OK)
        throw AgentError("cannot prepare a statement: " + db.lastMessage(),
                         sqlite3_extended_errcode(db.handle()));
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(m_stmt);
}

void SqliteStatement::bind(int index, std::string_view text) {
    if (sqlite3_bind_text64(m_stmt, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8) !=
        SQLITE_OK)
        throw AgentError("cannot bind a value: " + m_db.lastMessage());
}

void SqliteStatement::bind(int index, std::int64_t value) {
    if (sqlite3_bind_int64(m_stmt, index, value) != SQLITE_OK)
        throw AgentError("cannot bind a value: " + m_db.lastMessage());
}

bool SqliteStatement::step() {
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    throw AgentError(m_db.lastMessage(), sqlite3_extended_errcode(m_db.handle()));
}

void SqliteStatement::run() {
    while (step()) {
    }
    reset();
}

void SqliteStatement::reset() {
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

std::string SqliteStatement::text(int column) const {
    const auto* data = sqlite3_column_text(m_stmt, column);
    const int size = sqlite3_column_bytes(m_stmt, column);
    return data ? std::string(reinterpret_cast<const char*>(data), static_cast<std::size_t>(size))
                : std::string();
}

std::int64_t SqliteStatement::integer(int column) const {
    return sqlite3_column_int64(m_stmt, column);
}

bool SqliteStatement::isText(int column) const {
    return sqlite3_column_type(m_stmt, column) == SQLITE_TEXT;
}

} // namespace vcagent
