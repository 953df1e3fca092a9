// QtSql connections: unique names, opening with the engine's options, the handle behind them.
#include "store/SqlConnection.h"

#include "base/VcError.h"
#include "store/SqlStatement.h"
#include "store/SqlUtil.h"

#include <QAtomicInt>
#include <QSqlDriver>
#include <QSqlError>
#include <QVariant>

namespace {
QAtomicInt g_connectionCounter;
} // namespace

SqlConnection::SqlConnection(const QString& path, Access access, const QString& context)
    : m_name(QStringLiteral("vc_sqlite_") + QString::number(g_connectionCounter.fetchAndAddRelaxed(1))) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    db.setDatabaseName(path);
    db.setConnectOptions(access == Access::ReadOnly ? QStringLiteral("QSQLITE_OPEN_READONLY")
                                                    : QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open()) {
        const VcError error = Sql::errorOf(db.lastError(), context);
        db = QSqlDatabase();
        release();
        throw error;
    }
    const QVariant handle = db.driver()->handle();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        m_handle = *static_cast<sqlite3* const*>(handle.data());
    if (!m_handle) {
        db = QSqlDatabase();
        release();
        throw VcError(ErrorNumber::DatabaseFailure, context + QStringLiteral(": no engine handle"));
    }
    // Opening reads nothing yet; reading the schema is what tells a database from any other file.
    try {
        SqlStatement probe(m_handle, "SELECT count(*) FROM sqlite_master", context);
        probe.step();
    } catch (...) {
        db = QSqlDatabase();
        release();
        throw;
    }
}

SqlConnection::~SqlConnection() {
    release();
}

QSqlDatabase SqlConnection::db() const {
    return QSqlDatabase::database(m_name, false);
}

void SqlConnection::release() {
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
    m_handle = nullptr;
}
