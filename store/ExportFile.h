// The export file: a standalone SQLite database holding the table "All Existing Data".
#pragma once

#include "store/FileDatabase.h"

#include <functional>
#include <memory>
#include <QByteArray>
#include <QString>

class SqlStatement;
class SqlTransaction;

inline const QString kExportTable = QStringLiteral("All Existing Data");

class ExportFile {
public:
    enum class Mode { CreateNew, OpenExisting };

    // Opens the database at path. Throws VcError; NotADatabase when the file is something else.
    // Messages name shownPath when given (a file built under another name before it is moved in).
    ExportFile(const QString& path, Mode mode, const QString& shownPath = QString());
    // A write unit left open is undone before the file closes.
    ~ExportFile();
    ExportFile(const ExportFile&) = delete;
    ExportFile& operator=(const ExportFile&) = delete;

    // True when the file at path exists and the engine says it is no database. Used to tell a
    // target that may be replaced from a failure that came from somewhere else.
    static bool isUnrecognised(const QString& path);

    QString path() const { return m_file.path(); }
    QString shownPath() const { return m_shownPath; }

    // Creates the table with its five fields unless a table of that name is already there;
    // an existing table is used as it is, whatever its fields. True when it was created.
    bool ensureTable();

    // The key fields of every row of the table, in table order.
    void forEachKey(const std::function<void(const QString& workstation, const QString& user,
                                             const QString& application, const QString& date)>& visit);

    // Prepares the statement that appends rows, so that a table it cannot fill fails now,
    // whether or not a row comes.
    void prepareRows();
    // Appends one row (after prepareRows); a null name is stored as NULL. The texts are UTF-8.
    void addRow(const QByteArray* workstation, const QByteArray* application, qint64 duration,
                const QByteArray& date, const QByteArray* user);

    // The one unit every change of the file belongs to: begun with the write lock (so a file
    // that cannot be written fails at once), undone unless committed.
    void begin();
    void commit();

    // Closes the file (undoing an uncommitted unit); throws when the engine cannot release it.
    void close();

private:
    FileDatabase m_file;
    QString m_shownPath;
    std::unique_ptr<SqlStatement> m_insert;
    std::unique_ptr<SqlTransaction> m_unit; // ends before the statement and the file
};
