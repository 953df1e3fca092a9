// Prepared statements and the engine's errors.
#include "store/SqlStatement.h"

#include "base/TextUtils.h"
#include "base/VcError.h"
#include "store/FileDatabase.h"

#include <QVariant>

VcError sqlError(sqlite3* db, int rc, const QString& context) {
    const QString engine = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
    const int number =
        (rc & 0xff) == SQLITE_NOTADB ? ErrorNumber::NotADatabase : ErrorNumber::DatabaseFailure;
    return VcError(number, context.isEmpty() ? engine : context + QStringLiteral(": ") + engine);
}

SqlStatement::SqlStatement(FileDatabase& db, const char* sql, const QString& context)
    : m_db(db.handle()), m_context(context.isEmpty() ? QString::fromUtf8(sql) : context) {
    if (!m_db)
        throw VcError(ErrorNumber::DatabaseFailure, m_context + QStringLiteral(": the database is not open"));
    // Persistent: most statements here are stepped thousands of times.
    const int rc = sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &m_statement, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
        fail(rc);
    }
}

SqlStatement::~SqlStatement() {
    sqlite3_finalize(m_statement);
}

bool SqlStatement::step() {
    const int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    fail(rc);
}

void SqlStatement::run() {
    const int rc = sqlite3_step(m_statement);
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW)
        fail(rc);
}

void SqlStatement::bindText(int index, const QString& text) {
    bindText(index, wellFormedText(text).toUtf8());
}

QString SqlStatement::utf16Text(int column) const {
    const auto* text = static_cast<const QChar*>(sqlite3_column_text16(m_statement, column));
    return text ? QString(text, sqlite3_column_bytes16(m_statement, column) / qsizetype(sizeof(QChar)))
                : QString();
}

SqlStatement::Type SqlStatement::type(int column) const {
    switch (sqlite3_column_type(m_statement, column)) {
    case SQLITE_INTEGER:
        return Type::Integer;
    case SQLITE_FLOAT:
        return Type::Real;
    case SQLITE_BLOB:
        return Type::Blob;
    case SQLITE_NULL:
        return Type::Null;
    default:
        return Type::Text;
    }
}

QVariant SqlStatement::value(int column) const {
    switch (sqlite3_column_type(m_statement, column)) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(m_statement, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_statement, column));
    case SQLITE_NULL:
        return QVariant(QMetaType::fromType<QString>());
    case SQLITE_BLOB:
        return QVariant(QByteArray(static_cast<const char*>(sqlite3_column_blob(m_statement, column)),
                                   sqlite3_column_bytes(m_statement, column)));
    default:
        return QVariant(utf16Text(column));
    }
}

void SqlStatement::fail(int rc) const {
    throw sqlError(m_db, rc, m_context);
}
