// Export file handling over the SQLite C interface (the copy is a bulk path).
#include "export/ExportFile.h"

#include "base/VcError.h"

#include <sqlite3.h>

ExportFile::ExportFile(const QString& path, Mode mode, const QString& shownPath)
    : m_path(path), m_shownPath(shownPath.isEmpty() ? path : shownPath) {
    const int flags = SQLITE_OPEN_READWRITE | (mode == Mode::CreateNew ? SQLITE_OPEN_CREATE : 0);
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const VcError failure = engineError(m_db, rc, QStringLiteral("Could not open ") + m_shownPath);
        sqlite3_close(m_db);
        m_db = nullptr;
        throw failure;
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, 5000);
}

ExportFile::~ExportFile() {
    if (!m_db)
        return;
    if (m_inTransaction)
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close_v2(m_db);
}

VcError ExportFile::engineError(sqlite3* db, int rc, const QString& context) {
    const int primary = rc & 0xff;
    const QString engine = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    const int number = primary == SQLITE_NOTADB ? ErrorNumber::NotADatabase : ErrorNumber::DatabaseFailure;
    return VcError(number, context.isEmpty() ? engine : context + QStringLiteral(": ") + engine);
}

void ExportFile::check(int rc, const QString& context) const {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw engineError(m_db, rc, context);
}

void ExportFile::exec(const char* sql, const QString& context) {
    check(sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr), context);
}

void ExportFile::begin() {
    // IMMEDIATE reads the file header at once, so a file that is no database fails here.
    exec("BEGIN IMMEDIATE", QStringLiteral("Could not write to ") + m_shownPath);
    m_inTransaction = true;
}

void ExportFile::commit() {
    exec("COMMIT", QStringLiteral("Could not write to ") + m_shownPath);
    m_inTransaction = false;
}

bool ExportFile::ensureTable() {
    sqlite3_stmt* statement = nullptr;
    check(sqlite3_prepare_v2(m_db,
                             "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE",
                             -1, &statement, nullptr),
          QStringLiteral("Could not read ") + m_shownPath);
    const QByteArray table = kExportTable.toUtf8();
    sqlite3_bind_text(statement, 1, table.constData(), static_cast<int>(table.size()), SQLITE_STATIC);
    const int rc = sqlite3_step(statement);
    sqlite3_finalize(statement);
    check(rc, QStringLiteral("Could not read ") + m_shownPath);
    if (rc == SQLITE_ROW)
        return false;
    exec("CREATE TABLE \"All Existing Data\" (UserName TEXT, Workstation TEXT, \"Application Title\" TEXT, "
         "Duration INTEGER, Date TEXT)",
         QStringLiteral("Could not create the table in ") + m_shownPath);
    return true;
}

void ExportFile::close() {
    if (!m_db)
        return;
    if (m_inTransaction) {
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        m_inTransaction = false;
    }
    const int rc = sqlite3_close(m_db);
    if (rc != SQLITE_OK)
        throw engineError(m_db, rc, QStringLiteral("Could not close ") + m_shownPath);
    m_db = nullptr;
}
