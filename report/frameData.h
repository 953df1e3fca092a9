// The "Data Ranges" page: the day range and the applications, users and workstations that
// the next report and the data export cover.
#pragma once

#include "report/ReportCriteria.h"

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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fillList(QListWidget* list, QStringList names);
    void startDatePicked(int index);
    void endDatePicked(int index);
    void listItemChanged(QListWidget* list, QListWidgetItem* item);
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
