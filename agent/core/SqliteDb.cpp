// SQLite connection wrapper.
#include "agent/core/SqliteDb.h"

#include "agent/core/AgentError.h"

#include <sqlite3.h>

namespace vcagent {

bool AgentError::damagedFile() const {
    const int primary = m_code & 0xFF;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB || m_code == kForeignStore;
}

SqliteDb::SqliteDb(const std::filesystem::path& path, Mode mode) : m_name(path.filename().string()) {
    int flags = SQLITE_OPEN_NOMUTEX;
    switch (mode) {
    case Mode::ReadOnly:
        flags |= SQLITE_OPEN_READONLY;
        break;
    case Mode::ReadWrite:
        flags |= SQLITE_OPEN_READWRITE;
        break;
    case Mode::Create:
        flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
        break;
    }
    // SQLite takes UTF-8 file names on every platform.
    const auto utf8 = path.u8string();
    const int rc = sqlite3_open_v2(reinterpret_cast<const char*>(utf8.c_str()), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const std::string message = m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(rc);
        sqlite3_close(m_db);
        m_db = nullptr;
        throw AgentError("cannot open " + m_name + ": " + message, rc);
    }
    sqlite3_busy_timeout(m_db, 5000);
    sqlite3_extended_result_codes(m_db, 1);
}

SqliteDb::~SqliteDb() {
    sqlite3_close_v2(m_db);
}

void SqliteDb::exec(const char* sql) {
    char* error = nullptr;
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &error);
    if (rc != SQLITE_OK) {
        const std::string message = error ? error : sqlite3_errmsg(m_db);
        sqlite3_free(error);
        throw AgentError(m_name + ": " + message, sqlite3_extended_errcode(m_db));
    }
}

void SqliteDb::close() {
    if (!m_db)
        return;
    sqlite3* db = m_db;
    m_db = nullptr;
    if (sqlite3_close(db) != SQLITE_OK) {
        const std::string message = sqlite3_errmsg(db);
        sqlite3_close_v2(db);
        throw AgentError("cannot close " + m_name + ": " + message);
    }
}

std::string SqliteDb::lastMessage() const {
    return m_db ? sqlite3_errmsg(m_db) : "closed";
}

} // namespace vcagent
