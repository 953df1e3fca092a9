// The agent's private database: time per (day, user, title) in milliseconds,
// and a few facts about the agent's own state. Only the service writes it;
// nobody else reads it for data.
#pragma once

#include "agent/core/Days.h"
#include "agent/core/SqliteDb.h"
#include "agent/core/UsageAccumulator.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vcagent {

struct UsageRow {
    Day day;
    std::string user;
    std::string title;
    Millis time = 0;
};

class WorkingStore {
public:
    // The layout this agent writes, kept in the file's user_version.
    static constexpr int kSchemaVersion = 1;

    // Opens or creates the store. A write-ahead log with full sync means a power
    // cut loses at most the transaction in flight, never the file. A damaged
    // file, another program's database or a newer agent's store throws an
    // AgentError whose damagedFile() is true.
    explicit WorkingStore(const std::filesystem::path& path);

    // Adds the time in one transaction: all of it or none.
    void add(const UsageMap& usage);
    // Hands over the rows of the days from `from` up to before `before`, ordered
    // by day, user and title, one at a time. Rows with a day that cannot be read
    // are left out: the published file must only hold what the console can use.
    void forEachRow(Day from, Day before, const std::function<void(const UsageRow&)>& row);
    std::vector<UsageRow> rowsBefore(Day day);
    // The newest day that holds time, if any.
    std::optional<Day> newestDay();
    // Drops every day before `day`; returns how many rows went.
    int dropBefore(Day day);

    std::optional<std::string> fact(const std::string& key);
    void setFact(const std::string& key, const std::string& value);

private:
    SqliteDb m_db;
};

// Opens the store at `path`; a damaged or foreign one is renamed aside (kept,
// never deleted) and a new store started. `setAside` receives the kept file's
// path. A store that cannot be reached now (locked, no access) still throws.
std::unique_ptr<WorkingStore> openWorkingStore(const std::filesystem::path& path, const std::string& stamp,
                                               std::filesystem::path* setAside = nullptr);

} // namespace vcagent
