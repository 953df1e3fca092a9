// A prepared statement on the engine handle, for the bulk paths of reporting; throws VcError.
#pragma once

#include <QByteArray>
#include <QString>

struct sqlite3;
struct sqlite3_stmt;

class RawStatement {
public:
    RawStatement(sqlite3* db, const char* sql);
    ~RawStatement();
    RawStatement(const RawStatement&) = delete;
    RawStatement& operator=(const RawStatement&) = delete;

    sqlite3_stmt* get() const { return m_statement; }
    // Binds text that must stay alive until the statement is reset.
    void bindStatic(int column, const QByteArray& text);
    void bindCopy(int column, const QByteArray& text);
    // Steps once: true while a row is available.
    bool step();
    // Steps a statement that returns no rows, then resets it for the next use.
    void run();
    void reset();

    // Runs a statement without parameters or rows.
    static void exec(sqlite3* db, const char* sql);
    // The engine's last error on db as a VcError.
    [[noreturn]] static void fail(sqlite3* db, const QString& context);

private:
    sqlite3* m_db;
    sqlite3_stmt* m_statement = nullptr;
};

// Text of a column as bytes (UTF-8), without copying; valid until the next step.
QByteArray rawColumnBytes(sqlite3_stmt* statement, int column);
