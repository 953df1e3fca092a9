// A QtSql connection to one SQLite file, the one place that adds and removes QtSql connections
// and hands out the engine handle behind one (for SqlStatement and SqlTransaction).
#pragma once

#include <QSqlDatabase>
#include <QString>

struct sqlite3;

class SqlConnection {
public:
    enum class Access { ReadWrite, ReadOnly };

    // Opens the file, creating it when Access is ReadWrite and nothing is there. Throws VcError
    // (NotADatabase when the engine says so); context starts its message.
    SqlConnection(const QString& path, Access access, const QString& context);
    // Closes the file and forgets the connection.
    ~SqlConnection();
    SqlConnection(const SqlConnection&) = delete;
    SqlConnection& operator=(const SqlConnection&) = delete;

    QSqlDatabase db() const;
    sqlite3* handle() const { return m_handle; }

private:
    void release();

    QString m_name;
    sqlite3* m_handle = nullptr;
};
