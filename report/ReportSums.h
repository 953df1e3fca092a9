// The Application Usage Report's numbers, summed once from the extracted rows: what the report
// file, the screen, the CSV files and the charts all show.
#pragma once

#include "report/ReportNames.h"

#include <map>
#include <QByteArray>
#include <QDate>
#include <QStringList>
#include <QtGlobal>
#include <vector>

// Rows may come in any order; what the report shows depends only on the rows and, within a day,
// their order (first spellings). Names that differ only in letter case are one application, user
// or workstation, shown in their first spelling. Every figure is the exact sum of the time it
// covers, in whole milliseconds, rounded once to whole minutes (halves to even) when shown: a
// line, a day's total, the grand total, a chart bar and a CSV cell never add rounded values.
class ReportSums {
public:
    enum class Detail { Dropped, Kept };

    struct Application {
        int group = 0;    // in applications()
        int spelling = 0; // the entry of its first spelling within the day
        // Summed in whole milliseconds: adding up sixtieths as doubles can land just below a
        // whole minute (six times 10 s would show 0:00).
        qint64 milliseconds = 0;
        double minutes() const { return static_cast<double>(milliseconds) / 60000.0; }
        qint64 wholeMinutes() const;
    };
    // The groups of one row, kept for the detail files.
    struct Who {
        int application;
        int user;
        int workstation;
    };
    struct Day {
        QDate date;
        std::vector<Application> applications; // in the order they first appear
        std::vector<int> slotOfGroup;          // application group -> index in applications, or -1
        qint64 milliseconds = 0;               // the day's exact sum
        // Kept only with the detail: every row's time and groups, in arrival order.
        std::vector<qint64> rowMilliseconds;
        std::vector<Who> detail;
    };

    explicit ReportSums(Detail detail = Detail::Dropped) : m_keepDetail(detail == Detail::Kept) {}
    ReportSums(const ReportSums&) = delete; // the last day is remembered by address
    ReportSums& operator=(const ReportSums&) = delete;
    ReportSums(ReportSums&&) = default;
    ReportSums& operator=(ReportSums&&) = default;

    // The criteria's days, for views that show the whole range; invalid when there were none.
    void setRange(QDate first, QDate last) {
        m_firstDay = first;
        m_lastDay = last;
    }
    QDate firstDay() const { return m_firstDay; }
    QDate lastDay() const { return m_lastDay; }

    // One report row of minutes. A key, when not negative, is the caller's number for the text
    // beside it (the same key always with the same text), which spares looking the text up.
    void add(QDate day, const QByteArray& application, const QByteArray& user, const QByteArray& workstation,
             double minutes, int applicationKey = -1, int userKey = -1, int workstationKey = -1);

    qint64 rows() const { return m_rows; }
    bool isEmpty() const { return m_days.empty(); }
    bool keepsDetail() const { return m_keepDetail; }
    // Ascending; only days with rows.
    const std::map<QDate, Day>& days() const { return m_days; }

    const ReportNames& applications() const { return m_applications; }
    const ReportNames& users() const { return m_users; }
    const ReportNames& workstations() const { return m_workstations; }
    // The users and workstations the report lists: in the order the rows first name them.
    const QStringList& userList() const { return m_userList.names; }
    const QStringList& workstationList() const { return m_workstationList.names; }

    // Indexes into day.applications, ordered by case-folded name as the report lists them.
    std::vector<int> order(const Day& day) const;
    // The day's total in whole minutes: the exact sum of its rows, rounded once.
    qint64 dayTotal(const Day& day) const;
    // The line's share of its day's exact sum in whole percent, rounded once.
    static qint64 percentOfDay(const Day& day, const Application& application);
    // The exact sum of every row of every day, rounded once to whole minutes.
    qint64 grandTotal() const;
    qint64 milliseconds() const { return m_milliseconds; }

private:
    // Names in the order they first appear, each once.
    struct DistinctList {
        std::vector<char> seen;
        QStringList names;
        void add(int group, const QString& spelling);
    };

    bool m_keepDetail;
    QDate m_firstDay;
    QDate m_lastDay;
    qint64 m_rows = 0;
    qint64 m_milliseconds = 0;
    std::map<QDate, Day> m_days;
    QDate m_currentDate;
    Day* m_currentDay = nullptr; // the day of the last row
    ReportNames m_applications;
    ReportNames m_users;
    ReportNames m_workstations;
    DistinctList m_userList;
    DistinctList m_workstationList;
};
