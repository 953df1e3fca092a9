// Working store on SQLite.
#include "agent/core/WorkingStore.h"

#include "agent/core/SqliteStatement.h"

namespace vcagent {

WorkingStore::WorkingStore(const std::filesystem::path& path) : m_db(path, SqliteDb::Mode::Create) {
    m_db.exec("PRAGMA journal_mode=WAL");
    m_db.exec("PRAGMA synchronous=FULL");
    m_db.exec("CREATE TABLE IF NOT EXISTS Usage (Day TEXT NOT NULL, UserName "
              "TEXT NOT NULL, "
              "AppTitle TEXT NOT NULL, Millis INTEGER NOT NULL, PRIMARY KEY "
              "(Day, UserName, AppTitle))");
    m_db.exec("CREATE TABLE IF NOT EXISTS Facts (Key TEXT PRIMARY KEY, Value TEXT)");
}

void WorkingStore::add(const UsageMap& usage) {
    if (usage.empty())
        return;
    m_db.exec("BEGIN IMMEDIATE");
    try {
        SqliteStatement insert(m_db, "INSERT INTO Usage (Day, UserName, AppTitle, "
                                     "Millis) VALUES (?, ?, ?, ?) "
                                     "ON CONFLICT (Day, UserName, AppTitle) DO UPDATE "
                                     "SET Millis = Millis + excluded.Millis");
        for (const auto& [key, time] : usage) {
            insert.bind(1, dayText(key.day));
            insert.bind(2, key.user);
            insert.bind(3, key.title);
            insert.bind(4, static_cast<std::int64_t>(time));
            insert.run();
        }
        m_db.exec("COMMIT");
    } catch (...) {
        try {
            m_db.exec("ROLLBACK");
        } catch (...) {
        }
        throw;
    }
}

std::vector<UsageRow> WorkingStore::rowsBefore(Day day) {
    SqliteStatement query(m_db, "SELECT Day, UserName, AppTitle, Millis FROM Usage WHERE Day < ? "
                                "ORDER BY Day, UserName, AppTitle");
    query.bind(1, dayText(day));
    std::vector<UsageRow> rows;
    while (query.step()) {
        const auto rowDay = parseDayText(query.text(0));
        if (!rowDay || query.integer(3) <= 0)
            continue;
        rows.push_back(UsageRow{*rowDay, query.text(1), query.text(2), query.integer(3)});
    }
    return rows;
}

int WorkingStore::dropBefore(Day day) {
    SqliteStatement drop(m_db, "DELETE FROM Usage WHERE Day < ?");
    drop.bind(1, dayText(day));
    drop.run();
    SqliteStatement changes(m_db, "SELECT changes()");
    return changes.step() ? static_cast<int>(changes.integer(0)) : 0;
}

std::optional<std::string> WorkingStore::fact(const std::string& key) {
    SqliteStatement query(m_db, "SELECT Value FROM Facts WHERE Key = ?");
    query.bind(1, key);
    if (!query.step())
        return std::nullopt;
    return query.text(0);
}

void WorkingStore::setFact(const std::string& key, const std::string& value) {
    SqliteStatement upsert(m_db, "INSERT INTO Facts (Key, Value) VALUES (?, ?) "
                                 "ON CONFLICT (Key) DO UPDATE SET Value = excluded.Value");
    upsert.bind(1, key);
    upsert.bind(2, value);
    upsert.run();
}

} // namespace vcagent
