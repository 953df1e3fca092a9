// Transactions and savepoints over a database file's connection.
#include "store/SqlTransaction.h"

#include "base/VcError.h"
#include "store/FileDatabase.h"
#include "store/SqlStatement.h"

#include <sqlite3.h>

namespace {
// Savepoints of the same name nest: ROLLBACK TO and RELEASE act on the innermost one, which
// with scoped units is always this one.
constexpr char kSavepoint[] = "SAVEPOINT vc_unit";
constexpr char kRelease[] = "RELEASE vc_unit";
constexpr char kRollbackTo[] = "ROLLBACK TO vc_unit; RELEASE vc_unit";
} // namespace

SqlTransaction::SqlTransaction(FileDatabase& db, Lock lock, const QString& context)
    : m_db(db), m_context(context) {
    m_savepoint = db.inTransaction();
    db.exec(m_savepoint               ? kSavepoint
            : lock == Lock::Immediate ? "BEGIN IMMEDIATE"
                                      : "BEGIN",
            context.isEmpty() ? QStringLiteral("Could not begin a transaction") : context);
    m_open = true;
}

SqlTransaction::~SqlTransaction() {
    rollback();
}

void SqlTransaction::commit() {
    if (!m_open)
        throw VcError(ErrorNumber::DatabaseFailure,
                      QStringLiteral("Could not commit: the transaction has ended"));
    const int rc = sqlite3_exec(m_db.handle(), m_savepoint ? kRelease : "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        const VcError error =
            sqlError(m_db.handle(), rc, m_context.isEmpty() ? QStringLiteral("Could not commit") : m_context);
        rollback();
        throw error;
    }
    m_open = false;
}

void SqlTransaction::rollback() {
    if (!m_open)
        return;
    m_open = false;
    // Nothing is left to undo when the engine has already given the transaction up.
    if (m_db.inTransaction())
        sqlite3_exec(m_db.handle(), m_savepoint ? kRollbackTo : "ROLLBACK", nullptr, nullptr, nullptr);
}
