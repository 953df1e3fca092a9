// The Application Usage Report's content gathered row by row, and its file written in one go.
#pragma once

#include <memory>
#include <QByteArray>
#include <QDate>
#include <QString>

struct ReportTotals;

// Rows may come in any order; what the file shows depends only on the rows and, within a day,
// their order (first spellings, the order of the grand total's rounding). Names that differ
// only in letter case are one application, user or workstation, shown in their first spelling.
class ReportWriter {
public:
    ReportWriter();
    ~ReportWriter();
    ReportWriter(const ReportWriter&) = delete;
    ReportWriter& operator=(const ReportWriter&) = delete;

    // One report row of minutes. A key, when not negative, is the caller's number for the text
    // beside it (the same key always with the same text), which spares looking the text up.
    void addRow(QDate day, const QByteArray& application, const QByteArray& user,
                const QByteArray& workstation, double minutes, int applicationKey = -1, int userKey = -1,
                int workstationKey = -1);
    qint64 rows() const { return m_rows; }

    // The file's bytes (Windows-1252, CR LF line ends).
    QByteArray bytes() const;
    // Writes them under a temporary name renamed into place, so the previous file stays whole
    // when writing fails. Throws VcError then.
    void write(const QString& path) const;
    // The cells' minutes as the file shows them (before rounding), per day and application,
    // for views beside the report; the totals' day range is left as it is.
    void fillTotals(ReportTotals& totals) const;

private:
    struct Data;
    std::unique_ptr<Data> d;
    qint64 m_rows = 0;
};
