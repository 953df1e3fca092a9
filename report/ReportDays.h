// The extracted report rows read back and grouped as the report shows them: per day, the
// applications summed over users and workstations, and the users and workstations named.
#pragma once

#include <map>
#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <tuple>
#include <vector>

class ManagerDatabase;
class ReportProgress;

class ReportDays {
public:
    // Spellings that fold to the same text are one name, shown as first seen.
    class Names {
    public:
        int groupOf(const QByteArray& bytes);
        QString spelling(const QByteArray& bytes) const { return m_spellingOfBytes.value(bytes); }
        const QString& firstSpelling(int group) const { return m_firstSpelling.at(group); }
        const QString& folded(int group) const { return m_folded.at(group); }

    private:
        int find(const QByteArray& bytes);

        QByteArray m_lastBytes;
        int m_lastGroup = -1;
        QHash<QByteArray, int> m_byBytes;
        QHash<QByteArray, QString> m_spellingOfBytes;
        QHash<QString, int> m_byFolded;
        QList<QString> m_folded;
        QList<QString> m_firstSpelling;
    };

    struct Application {
        QString spelling; // first spelling within the day
        int group = 0;
        // Summed in whole milliseconds: adding up sixtieths as doubles can land just below a
        // whole minute (six times 10 s would show 0:00).
        qint64 milliseconds = 0;
        double minutes = 0;
    };

    // One (application, user, workstation) cell of a day, by name groups.
    using DetailKey = std::tuple<int, int, int>;

    struct Day {
        std::vector<double> rowMinutes; // in row order, for the grand total
        std::vector<int> slotOfGroup;   // application group -> index in applications, or -1
        std::vector<Application> applications;
        std::map<DetailKey, qint64> detailMilliseconds; // filled only when asked for
    };

    // Reads every row of MGRDaySummaryTmp. The progress value advances by progressStep per row
    // while it stays within the maximum. With detail, each day also keeps its sums per
    // application, user and workstation. Throws VcError on a database failure or a row
    // without a valid day.
    static ReportDays read(ManagerDatabase& database, ReportProgress& progress, int progressStep,
                           bool detail = false);

    const std::map<QDate, Day>& days() const { return m_days; }
    const Names& applications() const { return m_applications; }
    const Names& users() const { return m_users; }
    const Names& workstations() const { return m_workstations; }
    // Users and workstations in the order they first appear, each once, in their first spelling.
    const QStringList& userList() const { return m_userList; }
    const QStringList& workstationList() const { return m_workstationList; }

    // Indexes into day.applications, ordered by folded name as the report lists them.
    std::vector<int> order(const Day& day) const;
    // The day's total in whole minutes: the shown cells summed in list order, each step
    // rounded half to even, as the report's "Total for day" is.
    qint64 total(const Day& day) const;
    // The minutes of all rows of all days, each step rounded half to even.
    qint64 grandTotal() const;

private:
    std::map<QDate, Day> m_days;
    Names m_applications;
    Names m_users;
    Names m_workstations;
    QStringList m_userList;
    QStringList m_workstationList;
};
