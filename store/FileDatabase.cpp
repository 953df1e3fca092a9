// Opening, closing and hardening one database file.
#include "store/FileDatabase.h"

#include "base/VcError.h"
#include "store/SqlStatement.h"

#include <QFile>
#include <sqlite3.h>

FileDatabase::FileDatabase(const QString& path, Access access, const QString& context) : m_path(path) {
    const QString shown = context.isEmpty() ? QStringLiteral("Could not open ") + path : context;
    // One connection is only ever used by one thread at a time: the engine's own mutex would
    // only cost time. A private cache: connections never share pages behind each other's back.
    int flags = SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_PRIVATECACHE;
    switch (access) {
    case Access::ReadOnly:
        flags |= SQLITE_OPEN_READONLY;
        break;
    case Access::ReadWrite:
        flags |= SQLITE_OPEN_READWRITE;
        break;
    case Access::Create:
        flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
        break;
    }
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const VcError error = sqlError(m_db, rc, shown);
        sqlite3_close(m_db);
        m_db = nullptr;
        throw error;
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, 5000);
    // Opening reads nothing yet; reading the schema is what tells a database from any other file.
    try {
        SqlStatement probe(*this, "SELECT count(*) FROM sqlite_master", shown);
        probe.step();
    } catch (...) {
        sqlite3_close(m_db);
        m_db = nullptr;
        throw;
    }
}

FileDatabase::~FileDatabase() {
    if (m_db)
        sqlite3_close_v2(m_db);
}

void FileDatabase::distrust() {
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(m_db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
}

void FileDatabase::stopWhen(std::function<bool()> stop, int steps) {
    m_stop = std::move(stop);
    if (!m_stop) {
        sqlite3_progress_handler(m_db, 0, nullptr, nullptr);
        return;
    }
    sqlite3_progress_handler(
        m_db, steps, [](void* self) -> int { return static_cast<FileDatabase*>(self)->m_stop() ? 1 : 0; },
        this);
}

void FileDatabase::exec(const char* sql, const QString& context) {
    const QString shown = context.isEmpty() ? QString::fromUtf8(sql) : context;
    if (!m_db)
        throw VcError(ErrorNumber::DatabaseFailure, shown + QStringLiteral(": the database is not open"));
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        throw sqlError(m_db, rc, shown);
}

void FileDatabase::exec(const QString& sql, const QString& context) {
    const QByteArray utf8 = sql.toUtf8();
    exec(utf8.constData(), context);
}

bool FileDatabase::inTransaction() const {
    return m_db && !sqlite3_get_autocommit(m_db);
}

qint64 FileDatabase::lastInsertId() const {
    return sqlite3_last_insert_rowid(m_db);
}

bool FileDatabase::passesQuickCheck() {
    try {
        SqlStatement check(*this, "PRAGMA quick_check(1)");
        return check.step() && check.bytes(0) == "ok";
    } catch (const VcError&) {
        return false;
    }
}

bool FileDatabase::copyTo(FileDatabase& target) {
    sqlite3_backup* backup = sqlite3_backup_init(target.m_db, "main", m_db, "main");
    if (!backup)
        return false;
    const int stepped = sqlite3_backup_step(backup, -1);
    const int finished = sqlite3_backup_finish(backup);
    return stepped == SQLITE_DONE && finished == SQLITE_OK;
}

void FileDatabase::close() {
    if (!m_db)
        return;
    const int rc = sqlite3_close(m_db);
    if (rc != SQLITE_OK)
        throw sqlError(m_db, rc, QStringLiteral("Could not close ") + m_path);
    m_db = nullptr;
}
