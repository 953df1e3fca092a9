// Bulk writer for agent databases: one transaction, prepared statements, no journal while the
// private temporary file is built (a failed build is simply deleted).
#include "sim/AgentDatabaseWriter.h"

#include "store/WorkstationDatabase.h"

#include <cstdio>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>
#include <stdexcept>

AgentDatabaseWriter::AgentDatabaseWriter(const QString& path, Mode mode) : m_path(path) {
    const QFileInfo info(path);
    m_tempPath = info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".") +
                 QString::number(QCoreApplication::applicationPid()) + QStringLiteral(".tmp");
    QFile::remove(m_tempPath);
    if (mode == Mode::Append && !QFile::copy(path, m_tempPath))
        throw std::runtime_error("cannot copy " + path.toStdString());
    try {
        open(mode);
    } catch (...) {
        close();
        QFile::remove(m_tempPath);
        throw;
    }
}

void AgentDatabaseWriter::open(Mode mode) {
    const QByteArray name = QFile::encodeName(m_tempPath);
    // One connection per thread: sqlite's own locking would only cost time.
    if (sqlite3_open_v2(name.constData(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK)
        fail("cannot open");
    // The file is private until the rename, so durability while building buys nothing.
    exec("PRAGMA journal_mode=OFF");
    exec("PRAGMA synchronous=OFF");
    exec("PRAGMA locking_mode=EXCLUSIVE");
    exec("PRAGMA cache_size=-65536");
    exec("BEGIN");
    if (mode == Mode::Create) {
        exec(kWorkstationSchemaSql);
    } else {
        loadNames("SELECT UserName FROM PCUsers", m_users);
        loadNames("SELECT AppTitle FROM PCAppTitles", m_titles);
    }
    m_insertRow =
        prepare("INSERT INTO PCDaySummary (Date, UserName, AppTitle, Duration) VALUES (?1, ?2, ?3, ?4)");
    m_insertUser = prepare("INSERT INTO PCUsers (UserName) VALUES (?1)");
    m_insertTitle = prepare("INSERT INTO PCAppTitles (AppTitle) VALUES (?1)");
}

AgentDatabaseWriter::~AgentDatabaseWriter() {
    close();
    if (!m_committed)
        QFile::remove(m_tempPath);
}

void AgentDatabaseWriter::close() {
    sqlite3_finalize(m_insertRow);
    sqlite3_finalize(m_insertUser);
    sqlite3_finalize(m_insertTitle);
    m_insertRow = m_insertUser = m_insertTitle = nullptr;
    if (m_db)
        sqlite3_close(m_db);
    m_db = nullptr;
}

void AgentDatabaseWriter::fail(const std::string& what) {
    std::string message = what + " " + m_tempPath.toStdString();
    if (m_db)
        message += std::string(": ") + sqlite3_errmsg(m_db);
    throw std::runtime_error(message);
}

void AgentDatabaseWriter::exec(const char* sql) {
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        fail(std::string("cannot run \"") + sql + "\" on");
}

sqlite3_stmt* AgentDatabaseWriter::prepare(const char* sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(m_db, sql, -1, &statement, nullptr) != SQLITE_OK)
        fail(std::string("cannot prepare \"") + sql + "\" on");
    return statement;
}

void AgentDatabaseWriter::step(sqlite3_stmt* statement) {
    if (sqlite3_step(statement) != SQLITE_DONE)
        fail("cannot write to");
    sqlite3_reset(statement);
}

void AgentDatabaseWriter::loadNames(const char* sql, std::unordered_set<std::string>& into) {
    sqlite3_stmt* q = prepare(sql);
    int rc;
    while ((rc = sqlite3_step(q)) == SQLITE_ROW) {
        if (const unsigned char* text = sqlite3_column_text(q, 0))
            into.emplace(reinterpret_cast<const char*>(text),
                         static_cast<std::size_t>(sqlite3_column_bytes(q, 0)));
    }
    sqlite3_finalize(q);
    if (rc != SQLITE_DONE)
        fail("cannot read names from");
}

std::optional<std::string> AgentDatabaseWriter::newestDay() {
    sqlite3_stmt* q = prepare("SELECT max(substr(Date, 1, 10)) FROM PCDaySummary");
    std::optional<std::string> day;
    if (sqlite3_step(q) == SQLITE_ROW && sqlite3_column_type(q, 0) != SQLITE_NULL)
        day = reinterpret_cast<const char*>(sqlite3_column_text(q, 0));
    sqlite3_finalize(q);
    return day;
}

void AgentDatabaseWriter::listUser(const std::string& name) {
    if (m_users.insert(name).second) {
        sqlite3_bind_text(m_insertUser, 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
        step(m_insertUser);
    }
}

void AgentDatabaseWriter::listTitle(const std::string& title) {
    if (m_titles.insert(title).second) {
        sqlite3_bind_text(m_insertTitle, 1, title.data(), static_cast<int>(title.size()), SQLITE_TRANSIENT);
        step(m_insertTitle);
    }
}

void AgentDatabaseWriter::addRow(std::string_view date, const std::string& user, const std::string& title,
                                 std::int64_t seconds) {
    sqlite3_bind_text(m_insertRow, 1, date.data(), static_cast<int>(date.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(m_insertRow, 2, user.data(), static_cast<int>(user.size()), SQLITE_STATIC);
    sqlite3_bind_text(m_insertRow, 3, title.data(), static_cast<int>(title.size()), SQLITE_STATIC);
    sqlite3_bind_int64(m_insertRow, 4, seconds);
    step(m_insertRow);
    ++m_rows;
}

void AgentDatabaseWriter::commit() {
    exec("COMMIT");
    close();
    const QByteArray from = QFile::encodeName(m_tempPath);
    const QByteArray to = QFile::encodeName(m_path);
    // rename() replaces the target in one step, so a reader sees the old file or the new one.
    if (std::rename(from.constData(), to.constData()) != 0)
        throw std::runtime_error("cannot rename " + m_tempPath.toStdString() + " to " + m_path.toStdString());
    m_committed = true;
}
