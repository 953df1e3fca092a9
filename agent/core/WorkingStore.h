// The agent's private database: time per (day, user, title) in milliseconds,
// and a few facts about the agent's own state. Only the service writes it;
// nobody else reads it for data.
#pragma once

#include "agent/core/Days.h"
#include "agent/core/SqliteDb.h"
#include "agent/core/UsageAccumulator.h"

#include <filesystem>
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
    // Opens or creates the store. A write-ahead log with full sync means a power
    // cut loses at most the transaction in flight, never the file.
    explicit WorkingStore(const std::filesystem::path& path);

    // Adds the time in one transaction: all of it or none.
    void add(const UsageMap& usage);
    // The rows of every day before `day`, ordered by day, user and title. Rows
    // with a day that cannot be read are left out: the published file must only
    // hold what the console can use.
    std::vector<UsageRow> rowsBefore(Day day);
    // Drops every day before `day`; returns how many rows went.
    int dropBefore(Day day);

    std::optional<std::string> fact(const std::string& key);
    void setFact(const std::string& key, const std::string& value);

private:
    SqliteDb m_db;
};

} // namespace vcagent
