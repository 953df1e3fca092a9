// The export file: a standalone SQLite database holding the table "All Existing Data".
#pragma once

#include <QString>

struct sqlite3;
class VcError;

inline const QString kExportTable = QStringLiteral("All Existing Data");

class ExportFile {
public:
    enum class Mode { CreateNew, OpenExisting };

    // Opens the database at path. Throws VcError; NotADatabase when the file is something else.
    // Messages name shownPath when given (a file built under another name before it is moved in).
    ExportFile(const QString& path, Mode mode, const QString& shownPath = QString());
    // Rolls back an unfinished transaction, so a failed export leaves the file as it was.
    ~ExportFile();
    ExportFile(const ExportFile&) = delete;
    ExportFile& operator=(const ExportFile&) = delete;

    sqlite3* handle() const { return m_db; }
    QString path() const { return m_path; }
    QString shownPath() const { return m_shownPath; }

    void begin();
    void commit();

    // Creates the table with its five fields unless a table of that name is already there;
    // an existing table is used as it is, whatever its fields. True when it was created.
    bool ensureTable();

    // Closes the file; throws when the engine cannot release it.
    void close();

    // The error the engine reports for rc on db, numbered NotADatabase when it says so.
    static VcError engineError(sqlite3* db, int rc, const QString& context);
    // Throws the engine's error unless rc is one of the success codes.
    void check(int rc, const QString& context) const;

private:
    void exec(const char* sql, const QString& context);

    QString m_path;
    QString m_shownPath;
    sqlite3* m_db = nullptr;
    bool m_inTransaction = false;
};
