// Writing and replacing the published workstation database.
#include "agent/core/Publisher.h"

#include "agent/core/AgentError.h"
#include "agent/core/SqliteStatement.h"

#include <set>
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
    std::error_code ec;
    for (const char* suffix : {"", "-journal"}) {
        fs::path file = pendingFile();
        file += suffix;
        fs::remove(file, ec);
    }
}

void Publisher::write(const fs::path& file, const std::vector<UsageRow>& rows) {
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
            "Duration INTEGER)");
    {
        std::set<std::string> users;
        std::set<std::string> titles;
        SqliteStatement insertRow(db, "INSERT INTO PCDaySummary (Date, UserName, "
                                      "AppTitle, Duration) VALUES (?, ?, ?, ?)");
        std::size_t written = 0;
        for (const UsageRow& row : rows) {
            const std::int64_t seconds = wholeSeconds(row.time);
            if (seconds <= 0)
                continue;
            insertRow.bind(1, dayText(row.day));
            insertRow.bind(2, row.user);
            insertRow.bind(3, row.title);
            insertRow.bind(4, seconds);
            insertRow.run();
            users.insert(row.user);
            titles.insert(row.title);
            if (m_rowWritten)
                m_rowWritten(written);
            ++written;
        }
        // Every name the day rows use is in its table: the console leaves out rows
        // whose names are not.
        SqliteStatement insertUser(db, "INSERT INTO PCUsers (UserName) VALUES (?)");
        for (const std::string& user : users) {
            insertUser.bind(1, user);
            insertUser.run();
        }
        SqliteStatement insertTitle(db, "INSERT INTO PCAppTitles (AppTitle) VALUES (?)");
        for (const std::string& title : titles) {
            insertTitle.bind(1, title);
            insertTitle.run();
        }
    }
    db.exec("COMMIT");
    db.close();
}

Publisher::Result Publisher::publish(const std::vector<UsageRow>& rows, std::string& error) {
    std::error_code ec;
    fs::create_directories(m_published.parent_path(), ec);
    // A file left by an interrupted run is never published: start from nothing.
    removePending();
    try {
        write(pendingFile(), rows);
    } catch (const std::exception& e) {
        error = std::string("writing ") + pendingFile().filename().string() + " failed: " + e.what();
        removePending();
        return Result::Failed;
    }
    std::string reason;
    const ReplaceOutcome outcome = m_replace(pendingFile(), m_published, reason);
    if (outcome == ReplaceOutcome::Done)
        return Result::Published;
    removePending();
    error = "replacing " + m_published.filename().string() + " failed: " + reason;
    return outcome == ReplaceOutcome::InUse ? Result::InUse : Result::Failed;
}

} // namespace vcagent
