// Writing and replacing the published workstation database.
#include "agent/core/Publisher.h"

#include "agent/core/AgentError.h"
#include "agent/core/SqliteStatement.h"

#include <system_error>

namespace vcagent {

namespace fs = std::filesystem;

std::int64_t wholeSeconds(Millis time) {
    return (time + 500) / 1000;
}

Publisher::Publisher(fs::path publishedFile, ReplaceFile replace)
    : m_published(std::move(publishedFile)), m_replace(std::move(replace)) {}

fs::path Publisher::pendingFile() const {
    fs::path pending = m_published;
    pending += ".new";
    return pending;
}

ReplaceOutcome Publisher::renameReplace(const fs::path& from, const fs::path& to, std::string& error) {
    std::error_code ec;
    fs::rename(from, to, ec);
    if (!ec)
        return ReplaceOutcome::Done;
    error = ec.message();
    return ReplaceOutcome::Failed;
}

void Publisher::removePending() {
    m_pendingComplete = false;
    std::error_code ec;
    for (const char* suffix : {"", "-journal"}) {
        fs::path file = pendingFile();
        file += suffix;
        fs::remove(file, ec);
    }
}

void Publisher::discardPending() {
    removePending();
}

void Publisher::write(const fs::path& file, const RowSource& rows, const Info& info) {
    SqliteDb db(file, SqliteDb::Mode::Create);
    // A rollback journal with full sync: the new file is complete on disk before
    // it is renamed.
    db.exec("PRAGMA journal_mode=DELETE");
    db.exec("PRAGMA synchronous=FULL");
    db.exec("BEGIN");
    db.exec("CREATE TABLE PCUsers (UserID INTEGER PRIMARY KEY AUTOINCREMENT, "
            "UserName TEXT);"
            "CREATE TABLE PCAppTitles (AppTitleID INTEGER PRIMARY KEY "
            "AUTOINCREMENT, AppTitle TEXT);"
            "CREATE TABLE PCDaySummary (Date TEXT, UserName TEXT, AppTitle TEXT, "
            "Duration INTEGER);"
            "CREATE TABLE PCAgentInfo (Name TEXT PRIMARY KEY, Value TEXT)");
    {
        SqliteStatement insertRow(db, "INSERT INTO PCDaySummary (Date, UserName, "
                                      "AppTitle, Duration) VALUES (?, ?, ?, ?)");
        std::size_t written = 0;
        // Rows go straight from the store into the file: nothing of the window is
        // held in memory.
        rows([&](const UsageRow& row) {
            const std::int64_t seconds = wholeSeconds(row.time);
            if (seconds <= 0)
                return;
            insertRow.bind(1, dayText(row.day));
            insertRow.bind(2, row.user);
            insertRow.bind(3, row.title);
            insertRow.bind(4, seconds);
            insertRow.run();
            if (m_rowWritten)
                m_rowWritten(written);
            ++written;
        });
        SqliteStatement insertInfo(db, "INSERT OR REPLACE INTO PCAgentInfo (Name, Value) VALUES (?, ?)");
        for (const auto& [name, value] : info) {
            insertInfo.bind(1, name);
            insertInfo.bind(2, value);
            insertInfo.run();
        }
    }
    // Every name the day rows use is in its table, each once: the console leaves
    // out rows whose names are not.
    db.exec("INSERT INTO PCUsers (UserName) SELECT DISTINCT UserName FROM PCDaySummary ORDER BY 1;"
            "INSERT INTO PCAppTitles (AppTitle) SELECT DISTINCT AppTitle FROM PCDaySummary ORDER BY 1");
    db.exec("COMMIT");
    db.close();
}

Publisher::Result Publisher::replace(std::string& error) {
    std::string reason;
    const ReplaceOutcome outcome = m_replace(pendingFile(), m_published, reason);
    if (outcome == ReplaceOutcome::Done) {
        m_pendingComplete = false;
        return Result::Published;
    }
    error = "replacing " + m_published.filename().string() + " failed: " + reason;
    if (outcome == ReplaceOutcome::InUse) {
        // The new file is complete: only the rename is tried again.
        m_pendingComplete = true;
        return Result::InUse;
    }
    removePending();
    return Result::Failed;
}

Publisher::Result Publisher::publish(const RowSource& rows, const Info& info, std::string& error) {
    std::error_code ec;
    fs::create_directories(m_published.parent_path(), ec);
    // A file left by an interrupted run or an older window is never published:
    // start from nothing.
    removePending();
    try {
        write(pendingFile(), rows, info);
    } catch (const std::exception& e) {
        error = std::string("writing ") + pendingFile().filename().string() + " failed: " + e.what();
        removePending();
        return Result::Failed;
    }
    return replace(error);
}

Publisher::Result Publisher::publish(const std::vector<UsageRow>& rows, std::string& error) {
    return publish(
        [&](const std::function<void(const UsageRow&)>& sink) {
            for (const UsageRow& row : rows)
                sink(row);
        },
        {}, error);
}

Publisher::Result Publisher::replaceAgain(std::string& error) {
    std::error_code ec;
    if (!m_pendingComplete || !fs::exists(pendingFile(), ec)) {
        m_pendingComplete = false;
        error = "the new " + m_published.filename().string() + " went missing";
        return Result::Failed;
    }
    return replace(error);
}

} // namespace vcagent
