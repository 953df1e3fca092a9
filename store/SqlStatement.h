// A prepared statement on a database file: the one way SQL runs on the embedded engine; failures
// throw VcError. Used inside store/ and by the tests, benchmarks and simulator that build files.
#pragma once

#include <QByteArray>
#include <QString>
#include <sqlite3.h>

class FileDatabase;
class QVariant;
class VcError;

// The engine's error for result code rc on db, numbered NotADatabase when the file is none.
VcError sqlError(sqlite3* db, int rc, const QString& context);

class SqlStatement {
public:
    // context starts the message of every failure; without one the SQL text does.
    SqlStatement(FileDatabase& db, const char* sql, const QString& context = QString());
    ~SqlStatement();
    SqlStatement(const SqlStatement&) = delete;
    SqlStatement& operator=(const SqlStatement&) = delete;

    // Parameters count from 1. Static text must stay unchanged until the statement is reset.
    void bindNull(int index) { sqlite3_bind_null(m_statement, index); }
    void bindInt64(int index, qint64 value) { sqlite3_bind_int64(m_statement, index, value); }
    void bindDouble(int index, double value) { sqlite3_bind_double(m_statement, index, value); }
    void bindStaticText(int index, const QByteArray& utf8) {
        sqlite3_bind_text(m_statement, index, utf8.constData(), int(utf8.size()), SQLITE_STATIC);
    }
    void bindText(int index, const QByteArray& utf8) {
        sqlite3_bind_text(m_statement, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
    // Text an operator typed can hold lone surrogates (pasted from a damaged source): each is
    // bound as U+FFFD, as the engine would otherwise swallow the character after it.
    void bindText(int index, const QString& text);
    void bindBlob(int index, const QByteArray& bytes) {
        sqlite3_bind_blob(m_statement, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
    }
    int parameterCount() const { return sqlite3_bind_parameter_count(m_statement); }

    // True while a row is available, false at the end.
    bool step();
    // Steps a statement that returns no rows and makes it ready for the next bindings, also
    // when the step fails.
    void run();
    // Ready to run again; bindings stay.
    void reset() { sqlite3_reset(m_statement); }

    // Columns of the current row count from 0.
    enum class Type { Integer, Real, Text, Blob, Null };
    Type type(int column) const;
    int columnCount() const { return sqlite3_column_count(m_statement); }
    bool isNull(int column) const { return sqlite3_column_type(m_statement, column) == SQLITE_NULL; }
    bool isText(int column) const { return sqlite3_column_type(m_statement, column) == SQLITE_TEXT; }
    qint64 int64(int column) const { return sqlite3_column_int64(m_statement, column); }
    double real(int column) const { return sqlite3_column_double(m_statement, column); }
    // The text as UTF-8 without a copy; valid until the next step or reset.
    QByteArray bytes(int column) const {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
        return text ? QByteArray::fromRawData(text, sqlite3_column_bytes(m_statement, column)) : QByteArray();
    }
    QString text(int column) const {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
        return QString::fromUtf8(text, sqlite3_column_bytes(m_statement, column));
    }
    // The value as stored: a whole number as qint64, a real as double, bytes as QByteArray,
    // NULL as a null QString, text through the engine's own UTF-16 conversion (which treats
    // bytes that are no UTF-8 its own way, differently from text()).
    QVariant value(int column) const;
    // The text through the engine's UTF-16 conversion, as value() gives it.
    QString utf16Text(int column) const;

    // The counter the last row added on this connection received.
    qint64 lastInsertId() const { return sqlite3_last_insert_rowid(m_db); }

private:
    [[noreturn]] void fail(int rc) const;

    sqlite3* m_db;
    sqlite3_stmt* m_statement = nullptr;
    QString m_context;
};
