// Working store on SQLite.
#include "agent/core/WorkingStore.h"

#include "agent/core/AgentError.h"
#include "agent/core/SqliteStatement.h"

#include <system_error>

namespace vcagent {

namespace fs = std::filesystem;

WorkingStore::WorkingStore(const fs::path& path) : m_db(path, SqliteDb::Mode::Create) {
    m_db.exec("PRAGMA journal_mode=WAL");
    m_db.exec("PRAGMA synchronous=FULL");
    int version = 0;
    bool ok = false;
    {
        SqliteStatement check(m_db, "PRAGMA quick_check");
        ok = check.step() && check.text(0) == "ok";
        SqliteStatement pragma(m_db, "PRAGMA user_version");
        version = pragma.step() ? static_cast<int>(pragma.integer(0)) : 0;
    }
    if (!ok)
        throw AgentError(path.filename().string() + " failed its integrity check", kForeignStore);
    if (version > kSchemaVersion)
        throw AgentError(path.filename().string() + " was written by a newer agent (layout " +
                             std::to_string(version) + ")",
                         kForeignStore);
    if (version == 0) {
        // A store without a version is this layout from before versions, or an
        // empty file; anything else in it is not ours.
        SqliteStatement tables(m_db, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND "
                                     "name NOT IN ('Usage', 'Facts')");
        if (tables.step() && tables.integer(0) != 0)
            throw AgentError(path.filename().string() + " holds another program's tables", kForeignStore);
    }
    m_db.exec("CREATE TABLE IF NOT EXISTS Usage (Day TEXT NOT NULL, UserName "
              "TEXT NOT NULL, "
              "AppTitle TEXT NOT NULL, Millis INTEGER NOT NULL, PRIMARY KEY "
              "(Day, UserName, AppTitle))");
    m_db.exec("CREATE TABLE IF NOT EXISTS Facts (Key TEXT PRIMARY KEY, Value TEXT)");
    m_db.exec("PRAGMA user_version=1");
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

void WorkingStore::forEachRow(Day from, Day before, const std::function<void(const UsageRow&)>& row) {
    SqliteStatement query(m_db,
                          "SELECT Day, UserName, AppTitle, Millis FROM Usage WHERE Day >= ? AND Day < ? "
                          "ORDER BY Day, UserName, AppTitle");
    query.bind(1, dayText(from));
    query.bind(2, dayText(before));
    UsageRow current;
    while (query.step()) {
        const auto rowDay = parseDayText(query.text(0));
        if (!rowDay || query.integer(3) <= 0)
            continue;
        current.day = *rowDay;
        current.user = query.text(1);
        current.title = query.text(2);
        current.time = query.integer(3);
        row(current);
    }
}

std::vector<UsageRow> WorkingStore::rowsBefore(Day day) {
    std::vector<UsageRow> rows;
    forEachRow(Day{}, day, [&](const UsageRow& row) { rows.push_back(row); });
    return rows;
}

std::optional<Day> WorkingStore::newestDay() {
    // Day texts sort as days; a damaged text sorts somewhere and is skipped.
    SqliteStatement query(m_db, "SELECT DISTINCT Day FROM Usage ORDER BY Day DESC");
    while (query.step())
        if (const auto day = parseDayText(query.text(0)))
            return day;
    return std::nullopt;
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

std::unique_ptr<WorkingStore> openWorkingStore(const fs::path& path, const std::string& stamp,
                                               fs::path* setAside) {
    try {
        return std::make_unique<WorkingStore>(path);
    } catch (const AgentError& e) {
        if (!e.damagedFile())
            throw;
    }
    // Kept for whoever wants to look at it; the agent starts a new store so
    // recording goes on.
    fs::path aside = path;
    aside += ".damaged-" + stamp;
    for (int n = 2; fs::exists(aside); ++n) {
        aside = path;
        aside += ".damaged-" + stamp + "-" + std::to_string(n);
    }
    fs::rename(path, aside); // throws: a store that cannot be moved is not overwritten
    std::error_code ec;
    for (const char* suffix : {"-wal", "-shm"}) {
        fs::path side = path;
        side += suffix;
        if (fs::exists(side, ec)) {
            fs::path sideAside = aside;
            sideAside += suffix;
            fs::rename(side, sideAside, ec);
        }
    }
    if (setAside)
        *setAside = aside;
    return std::make_unique<WorkingStore>(path);
}

} // namespace vcagent
