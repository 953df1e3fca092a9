// The "Data Ranges" page: the day range and the applications, users and workstations that
// the next report and the data export cover.
#pragma once

#include "report/ReportCriteria.h"
#include "report/ReportHeading.h"

#include <optional>
#include <QDate>
#include <QList>
#include <QStringList>
#include <QWidget>

class Feedback;
class ManagerDatabase;
class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;

inline const QString kNoDataAvailable = QStringLiteral("<No Data Available>");

class frameData : public QWidget {
    Q_OBJECT
public:
    frameData(ManagerDatabase& database, Feedback& feedback, QWidget* parent = nullptr);

    // Fills the page from the database: every grouping name and "Undefined Applications",
    // every user and workstation, all checked; the days that hold usage in both combos, the
    // earliest shown as start and the latest as end, or the single disabled entry
    // "<No Data Available>". Database failures throw VcError.
    void LoadReportCriteria();

    // The lists follow the database while the console runs, keeping the operator's choices:
    // after the groupings changed, the Applications list (a new application ticked, as at
    // start-up; a deleted one gone); after new days arrived, the days, users and workstations
    // (new ones ticked; a range that reached the newest day reaches the new newest day).
    // Database failures throw VcError.
    void followGroupings();
    void followData();

    // The calendar days that hold usage, ascending, each once.
    static QList<QDate> GetReportDates(const ManagerDatabase& database);

    // True when an item of the list has exactly this text (letter case included) and is checked.
    static bool IsItemChecked(const QString& text, const QListWidget* list);

    // The chosen days; nothing while the combos show "<No Data Available>".
    std::optional<QDate> startDate() const;
    std::optional<QDate> endDate() const;
    // Texts of the checked items, in list order.
    QStringList checkedApplications() const;
    QStringList checkedUsers() const;
    QStringList checkedWorkstations() const;
    bool hasCheckedApplication() const { return !checkedApplications().isEmpty(); }
    bool hasCheckedUser() const { return !checkedUsers().isEmpty(); }
    bool hasCheckedWorkstation() const { return !checkedWorkstations().isEmpty(); }
    // All of the above in one value, for the report and the export.
    ReportCriteria criteria() const;
    // The days and what the lists leave out, as printed pages and exported charts head them;
    // generated is now.
    // Lists a pseudonymised report covers are counted in it, never named.
    ReportHeading heading(ReportHeading::Names users = ReportHeading::Names::Shown,
                          ReportHeading::Names workstations = ReportHeading::Names::Shown) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // keepChoices: names already listed keep their tick and the current row its name.
    void fillList(QListWidget* list, QStringList names, bool keepChoices);
    QStringList applicationNames() const;
    void startDatePicked(int index);
    void endDatePicked(int index);
    void listItemChanged(QListWidget* list, QListWidgetItem* item);
    // All / None under a list; None keeps the highlighted entry ticked, as a list keeps one.
    void tickAll(QListWidget* list, bool ticked);
    // A day typed into a date box: the nearest day with data within the range it starts or
    // ends, then the same guard as a pick; a beep for text that is no day.
    void dateTyped(QComboBox* combo);
    // The start day lies after the end day (never allowed to stand).
    bool datesReversed() const;

    QListWidget* lstApplications;
    QListWidget* lstUsers;
    QListWidget* lstWorkstations;
    QComboBox* cmbStartDate;
    QComboBox* cmbEndDate;
    QLabel* lblApplications;
    QLabel* lblUsers;
    QLabel* lblWorkstations;
    QLabel* lblStartDate;
    QLabel* lblEndDate;
    QLabel* lblDataInfo;

    ManagerDatabase& m_database;
    Feedback& m_feedback;
    int m_previousStartDate = -1;
    int m_previousEndDate = -1;
};
