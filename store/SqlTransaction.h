// One unit of work on a connection: undone when it goes out of scope uncommitted. A unit begun
// inside another is a savepoint of it, so units nest and an inner one can fail alone.
#pragma once

#include <QString>

class FileDatabase;

class SqlTransaction {
public:
    // Immediate takes the write lock at once (and so reads the file header at once).
    enum class Lock { Deferred, Immediate };

    // Throws VcError when the unit cannot begin. context starts the message of a failure to
    // begin or commit.
    explicit SqlTransaction(FileDatabase& db, Lock lock = Lock::Deferred, const QString& context = QString());
    ~SqlTransaction();
    SqlTransaction(const SqlTransaction&) = delete;
    SqlTransaction& operator=(const SqlTransaction&) = delete;

    // Makes the unit part of the enclosing one, or durable when there is none. On failure the
    // unit is rolled back and VcError thrown.
    void commit();
    // Undoes the unit now; the destructor then has nothing left to do.
    void rollback();

    bool isSavepoint() const { return m_savepoint; }
    bool isOpen() const { return m_open; }

private:
    FileDatabase& m_db;
    QString m_context;
    bool m_savepoint = false;
    bool m_open = false;
};
