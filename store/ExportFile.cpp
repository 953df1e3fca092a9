// The export file's table: made when missing, its keys read, rows appended.
#include "store/ExportFile.h"

#include "base/VcError.h"
#include "store/SqlStatement.h"
#include "store/SqlTransaction.h"

namespace {
FileDatabase::Access accessOf(ExportFile::Mode mode) {
    return mode == ExportFile::Mode::CreateNew ? FileDatabase::Access::Create
                                               : FileDatabase::Access::ReadWrite;
}

void bindName(SqlStatement& statement, int index, const QByteArray* name) {
    if (name)
        statement.bindStaticText(index, *name);
    else
        statement.bindNull(index);
}
} // namespace

ExportFile::ExportFile(const QString& path, Mode mode, const QString& shownPath)
    : m_file(path, accessOf(mode),
             QStringLiteral("Could not open ") + (shownPath.isEmpty() ? path : shownPath)),
      m_shownPath(shownPath.isEmpty() ? path : shownPath) {}

ExportFile::~ExportFile() = default;

bool ExportFile::isUnrecognised(const QString& path) {
    try {
        ExportFile file(path, Mode::OpenExisting);
        file.m_file.exec("PRAGMA schema_version", QStringLiteral("Could not read ") + path);
    } catch (const VcError& failure) {
        return failure.number() == ErrorNumber::NotADatabase;
    }
    return false;
}

bool ExportFile::ensureTable() {
    const QString reading = QStringLiteral("Could not read ") + m_shownPath;
    SqlStatement find(m_file, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE",
                      reading);
    find.bindText(1, kExportTable);
    if (find.step())
        return false;
    m_file.exec("CREATE TABLE \"All Existing Data\" (UserName TEXT, Workstation TEXT, "
                "\"Application Title\" TEXT, Duration INTEGER, Date TEXT)",
                QStringLiteral("Could not create the table in ") + m_shownPath);
    return true;
}

void ExportFile::forEachKey(
    const std::function<void(const QString&, const QString&, const QString&, const QString&)>& visit) {
    SqlStatement rows(m_file,
                      "SELECT Workstation, UserName, \"Application Title\", Date FROM \"All Existing Data\"",
                      QStringLiteral("Could not read ") + m_shownPath);
    while (rows.step())
        visit(rows.text(0), rows.text(1), rows.text(2), rows.text(3));
}

void ExportFile::prepareRows() {
    m_insert = std::make_unique<SqlStatement>(
        m_file,
        "INSERT INTO \"All Existing Data\" (Workstation, \"Application Title\", Duration, Date, "
        "UserName) VALUES (?, ?, ?, ?, ?)",
        QStringLiteral("Could not write to ") + m_shownPath);
}

void ExportFile::addRow(const QByteArray* workstation, const QByteArray* application, qint64 duration,
                        const QByteArray& date, const QByteArray* user) {
    bindName(*m_insert, 1, workstation);
    bindName(*m_insert, 2, application);
    m_insert->bindInt64(3, duration);
    m_insert->bindStaticText(4, date);
    bindName(*m_insert, 5, user);
    m_insert->run();
}

void ExportFile::begin() {
    m_unit = std::make_unique<SqlTransaction>(m_file, SqlTransaction::Lock::Immediate,
                                              QStringLiteral("Could not write to ") + m_shownPath);
}

void ExportFile::commit() {
    if (!m_unit)
        throw VcError(ErrorNumber::DatabaseFailure, QStringLiteral("Could not write to ") + m_shownPath +
                                                        QStringLiteral(": nothing was begun"));
    m_insert.reset();
    m_unit->commit();
    m_unit.reset();
}

void ExportFile::close() {
    m_unit.reset();
    m_insert.reset();
    m_file.close();
}
