// The export file: a standalone SQLite database holding the table "All Existing Data".
#pragma once

#include <QString>

struct sqlite3;

inline const QString kExportTable = QStringLiteral("All Existing Data");

class ExportFile {
public:
    enum class Mode { CreateNew, OpenExisting };

    // Opens the database at path. Throws VcError; NotADatabase when the file is something else.
    // Messages name shownPath when given (a file built under another name before it is moved in).
    ExportFile(const QString& path, Mode mode, const QString& shownPath = QString());
    // Writes go through SqlTransaction on handle(); one left open is rolled back by its guard
    // before the file closes.
    ~ExportFile();
    ExportFile(const ExportFile&) = delete;
    ExportFile& operator=(const ExportFile&) = delete;

    // True when the file at path exists and the engine says it is no database. Used to tell a
    // target that may be replaced from a failure that came from somewhere else.
    static bool isUnrecognised(const QString& path);

    sqlite3* handle() const { return m_db; }
    QString path() const { return m_path; }
    QString shownPath() const { return m_shownPath; }

    // Creates the table with its five fields unless a table of that name is already there;
    // an existing table is used as it is, whatever its fields. True when it was created.
    bool ensureTable();

    // Closes the file; throws when the engine cannot release it.
    void close();

private:
    QString m_path;
    QString m_shownPath;
    sqlite3* m_db = nullptr;
};
