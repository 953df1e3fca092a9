// Writes an agent database the way the real agent publishes it: built in a temporary file
// beside the target and renamed into place, so readers only ever see a whole file.
#pragma once

#include <memory>
#include <optional>
#include <QString>
#include <string>
#include <string_view>
#include <unordered_set>

class FileDatabase;
class SqlStatement;

class AgentDatabaseWriter {
public:
    enum class Mode {
        Create, // a new database with the agent's tables
        Append, // a copy of the existing database, extended
    };

    // Opens the temporary file and starts the one transaction; throws std::exception.
    AgentDatabaseWriter(const QString& path, Mode mode);
    // Without commit() the temporary file is removed and the target stays as it was.
    ~AgentDatabaseWriter();
    AgentDatabaseWriter(const AgentDatabaseWriter&) = delete;
    AgentDatabaseWriter& operator=(const AgentDatabaseWriter&) = delete;

    // The newest day (YYYY-MM-DD) in PCDaySummary, time of day ignored; nothing when empty.
    std::optional<std::string> newestDay();

    // Adds the name to PCUsers / PCAppTitles unless the table already holds it (exact case).
    void listUser(const std::string& name);
    void listTitle(const std::string& title);

    // Adds a usage row as given; listing its names is the caller's business.
    void addRow(std::string_view date, const std::string& user, const std::string& title,
                std::int64_t seconds);
    long long rowsAdded() const { return m_rows; }

    // Commits, closes and renames the file into place.
    void commit();

private:
    void open(Mode mode);
    void loadNames(const char* sql, std::unordered_set<std::string>& into);
    void close();

    QString m_path;
    QString m_tempPath;
    std::unique_ptr<FileDatabase> m_db;
    std::unique_ptr<SqlStatement> m_insertRow;
    std::unique_ptr<SqlStatement> m_insertUser;
    std::unique_ptr<SqlStatement> m_insertTitle;
    std::unordered_set<std::string> m_users;
    std::unordered_set<std::string> m_titles;
    long long m_rows = 0;
    bool m_committed = false;
};
