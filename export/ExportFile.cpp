// Export file handling over the engine connection (the copy is a bulk path).
#include "export/ExportFile.h"

#include "base/VcError.h"
#include "store/SqlStatement.h"

ExportFile::ExportFile(const QString& path, Mode mode, const QString& shownPath)
    : m_path(path), m_shownPath(shownPath.isEmpty() ? path : shownPath) {
    const int flags = SQLITE_OPEN_READWRITE | (mode == Mode::CreateNew ? SQLITE_OPEN_CREATE : 0);
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const VcError failure = sqlError(m_db, rc, QStringLiteral("Could not open ") + m_shownPath);
        sqlite3_close(m_db);
        m_db = nullptr;
        throw failure;
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, 5000);
}

ExportFile::~ExportFile() {
    if (m_db)
        sqlite3_close_v2(m_db);
}

bool ExportFile::isUnrecognised(const QString& path) {
    try {
        ExportFile file(path, Mode::OpenExisting);
        SqlStatement probe(file.handle(), "PRAGMA schema_version", QStringLiteral("Could not read ") + path);
        probe.step();
    } catch (const VcError& failure) {
        return failure.number() == ErrorNumber::NotADatabase;
    }
    return false;
}

bool ExportFile::ensureTable() {
    const QString reading = QStringLiteral("Could not read ") + m_shownPath;
    SqlStatement find(m_db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE",
                      reading);
    find.bindText(1, kExportTable);
    if (find.step())
        return false;
    SqlStatement::exec(m_db,
                       "CREATE TABLE \"All Existing Data\" (UserName TEXT, Workstation TEXT, "
                       "\"Application Title\" TEXT, Duration INTEGER, Date TEXT)",
                       QStringLiteral("Could not create the table in ") + m_shownPath);
    return true;
}

void ExportFile::close() {
    if (!m_db)
        return;
    const int rc = sqlite3_close(m_db);
    if (rc != SQLITE_OK)
        throw sqlError(m_db, rc, QStringLiteral("Could not close ") + m_shownPath);
    m_db = nullptr;
}
