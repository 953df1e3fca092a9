// Bulk writer for agent databases: one transaction, prepared statements, no journal while the
// private temporary file is built (a failed build is simply deleted).
#include "sim/AgentDatabaseWriter.h"

#include "store/FileDatabase.h"
#include "store/SqlStatement.h"
#include "store/WorkstationDatabase.h"

#include <cstdio>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <stdexcept>

namespace {
QByteArray bytesOf(std::string_view text) {
    return QByteArray::fromRawData(text.data(), qsizetype(text.size()));
}
} // namespace

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
    m_db = std::make_unique<FileDatabase>(m_tempPath, FileDatabase::Access::Create);
    // The file is private until the rename, so durability while building buys nothing.
    m_db->exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA locking_mode=EXCLUSIVE; "
               "PRAGMA cache_size=-65536; BEGIN");
    if (mode == Mode::Create) {
        m_db->exec(kWorkstationSchemaSql);
    } else {
        loadNames("SELECT UserName FROM PCUsers", m_users);
        loadNames("SELECT AppTitle FROM PCAppTitles", m_titles);
    }
    m_insertRow = std::make_unique<SqlStatement>(
        *m_db, "INSERT INTO PCDaySummary (Date, UserName, AppTitle, Duration) VALUES (?1, ?2, ?3, ?4)");
    m_insertUser = std::make_unique<SqlStatement>(*m_db, "INSERT INTO PCUsers (UserName) VALUES (?1)");
    m_insertTitle = std::make_unique<SqlStatement>(*m_db, "INSERT INTO PCAppTitles (AppTitle) VALUES (?1)");
}

AgentDatabaseWriter::~AgentDatabaseWriter() {
    close();
    if (!m_committed)
        QFile::remove(m_tempPath);
}

void AgentDatabaseWriter::close() {
    m_insertRow.reset();
    m_insertUser.reset();
    m_insertTitle.reset();
    m_db.reset();
}

void AgentDatabaseWriter::loadNames(const char* sql, std::unordered_set<std::string>& into) {
    SqlStatement q(*m_db, sql, QStringLiteral("cannot read names from ") + m_tempPath);
    while (q.step()) {
        if (!q.isNull(0)) {
            const QByteArray text = q.bytes(0);
            into.emplace(text.constData(), static_cast<std::size_t>(text.size()));
        }
    }
}

std::optional<std::string> AgentDatabaseWriter::newestDay() {
    SqlStatement q(*m_db, "SELECT max(substr(Date, 1, 10)) FROM PCDaySummary");
    if (q.step() && !q.isNull(0))
        return q.bytes(0).toStdString();
    return std::nullopt;
}

void AgentDatabaseWriter::listUser(const std::string& name) {
    if (m_users.insert(name).second) {
        m_insertUser->bindText(1, bytesOf(name));
        m_insertUser->run();
    }
}

void AgentDatabaseWriter::listTitle(const std::string& title) {
    if (m_titles.insert(title).second) {
        m_insertTitle->bindText(1, bytesOf(title));
        m_insertTitle->run();
    }
}

void AgentDatabaseWriter::addRow(std::string_view date, const std::string& user, const std::string& title,
                                 std::int64_t seconds) {
    // The texts stay where they are until the row is written.
    m_insertRow->bindStaticText(1, bytesOf(date));
    m_insertRow->bindStaticText(2, bytesOf(user));
    m_insertRow->bindStaticText(3, bytesOf(title));
    m_insertRow->bindInt64(4, seconds);
    m_insertRow->run();
    ++m_rows;
}

void AgentDatabaseWriter::commit() {
    m_db->exec("COMMIT");
    close();
    const QByteArray from = QFile::encodeName(m_tempPath);
    const QByteArray to = QFile::encodeName(m_path);
    // rename() replaces the target in one step, so a reader sees the old file or the new one.
    if (std::rename(from.constData(), to.constData()) != 0)
        throw std::runtime_error("cannot rename " + m_tempPath.toStdString() + " to " + m_path.toStdString());
    m_committed = true;
}
