// A prepared statement on a SqliteDb with bound parameters; failures throw
// AgentError.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3_stmt;

namespace vcagent {

class SqliteDb;

class SqliteStatement {
public:
    SqliteStatement(SqliteDb& db, const char* sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    void bind(int index, std::string_view text);
    void bind(int index, std::int64_t value);
    // True while a row is there; false at the end; throws on a failure.
    bool step();
    // Runs a statement without results and makes it ready to run again.
    void run();
    void reset();

    std::string text(int column) const;
    std::int64_t integer(int column) const;
    bool isText(int column) const;

private:
    SqliteDb& m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

} // namespace vcagent
