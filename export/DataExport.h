// Export of the collected usage of a day range into a standalone database file.
#pragma once

#include <optional>
#include <QDate>
#include <QString>

class ExportFile;
class Feedback;
class ManagerDatabase;

class DataExport {
public:
    DataExport(Feedback& feedback, const ManagerDatabase& database);

    // Writes the usage of the inclusive day range into the file at path: a new database with
    // the table "All Existing Data" when no file is there, else the existing database, whose
    // table is reused and only gains rows for keys it does not hold yet. No range (a date box
    // without data) writes no rows but still makes sure of the file and table.
    // All of it is one transaction: on any failure the file is left as it was.
    // Returns the text for the first status panel, or nothing when the operator was told the
    // outcome by a message (the status panel then stays as it is).
    std::optional<QString> ExportData(const QString& path, std::optional<QDate> from,
                                      std::optional<QDate> to);

    // Rows added by the last ExportData.
    qint64 rowsAdded() const { return m_rowsAdded; }

    // Adds one row per workstation, user, application and day of the range that the table
    // does not hold yet, holding the seconds of every title of that application summed. A key
    // the table already holds (from an earlier export) keeps its row as it is and gains
    // nothing, so no time is counted twice. Keys compare names without regard to letter case,
    // as lookups in the export table always have. Returns the number of rows added. Throws
    // VcError.
    static qint64 WriteExportRows(ExportFile& file, const ManagerDatabase& database,
                                  std::optional<QDate> from, std::optional<QDate> to);

private:
    void writeNewFile(const QString& path, std::optional<QDate> from, std::optional<QDate> to);
    void addToFile(const QString& path, std::optional<QDate> from, std::optional<QDate> to);

    Feedback& m_feedback;
    const ManagerDatabase& m_database;
    qint64 m_rowsAdded = 0;
};

// Writes the export's audit row (days, rows added, the file). Throws VcError when it cannot.
void recordExport(ManagerDatabase& database, const QString& path, std::optional<QDate> from,
                  std::optional<QDate> to, qint64 rows);
