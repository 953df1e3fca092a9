// An open SQLite database of the agent: owns the connection and turns failures
// into AgentError.
#pragma once

#include <filesystem>
#include <string>

struct sqlite3;

namespace vcagent {

class SqliteDb {
public:
    enum class Mode { ReadOnly, ReadWrite, Create };
    SqliteDb(const std::filesystem::path& path, Mode mode);
    ~SqliteDb();
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;

    // Runs statements without results; throws AgentError naming the statement's
    // purpose.
    void exec(const char* sql);
    // Closes now and reports a failure to close (the last write may be in it).
    void close();

    sqlite3* handle() const { return m_db; }
    std::string lastMessage() const;

private:
    sqlite3* m_db = nullptr;
    std::string m_name;
};

} // namespace vcagent
