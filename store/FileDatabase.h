// One SQLite database file on the engine's own API: the store's one connection type, for the
// embedded manager database and for plain files (agent files, export files, share copies).
#pragma once

#include <functional>
#include <QString>

struct sqlite3;

class FileDatabase {
public:
    enum class Access {
        ReadOnly,  // never writes
        ReadWrite, // an existing file
        Create,    // read-write, creating the file when nothing is there
    };

    // Opens the file and reads its schema, so that a file that is no database fails here
    // (VcError numbered NotADatabase) and not at its first statement; any other failure throws
    // VcError as well. context starts the message (default "Could not open <path>"). A
    // statement waits up to 5 s for a lock another connection holds.
    FileDatabase(const QString& path, Access access, const QString& context = QString());
    // Closes the file; statements and units on it must have ended.
    ~FileDatabase();
    FileDatabase(const FileDatabase&) = delete;
    FileDatabase& operator=(const FileDatabase&) = delete;

    QString path() const { return m_path; }

    // For a file from another machine: its schema may call no function or virtual table, and
    // no statement may write to the engine's own structures.
    void distrust();
    // stop is asked every `steps` steps of the engine's work; when it answers true, the
    // statement running is abandoned and fails (as a damaged file's statement does). An empty
    // function removes the check.
    void stopWhen(std::function<bool()> stop, int steps = 10000);

    // Runs statements without parameters or rows, in order, stopping at the first failure
    // (VcError; context starts its message, else the SQL text does).
    void exec(const char* sql, const QString& context = QString());
    void exec(const QString& sql, const QString& context = QString());

    // Whether a transaction is open. The engine gives one up by itself on some failures (disk
    // full, I/O error), taking every savepoint in it along.
    bool inTransaction() const;
    // The counter the last row added on this connection received.
    qint64 lastInsertId() const;

    // The engine's own quick check of the file's structure says "ok"; false on any failure.
    bool passesQuickCheck();
    // Copies the whole database into target, page by page (target's content is replaced).
    // False when the engine refuses.
    bool copyTo(FileDatabase& target);

    // Closes now; throws VcError when the engine cannot release the file.
    void close();

    // For the store's statements and units on this file.
    sqlite3* handle() const { return m_db; }

private:
    QString m_path;
    sqlite3* m_db = nullptr;
    std::function<bool()> m_stop;
};
