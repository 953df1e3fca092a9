// Workstation health: one row per registered machine with its service state, newest day held,
// days behind, last download attempt and agent version, and the rule that marks machines too far behind.
#pragma once

#include "base/Settings.h"
#include "discovery/AgentScan.h"
#include "store/ManagerDatabase.h"

#include <optional>
#include <QAbstractTableModel>
#include <QDate>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// The table of the Workstation Health page. Rows are rebuilt by load(); service states come
// from checks made meanwhile and survive reloads. Every text and the sort order are decided
// here, so the page only shows the model.
class WorkstationHealth : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        Name,
        Monitored,
        Service,
        NewestDay,
        DaysBehind,
        LastAttempt,
        Result,
        AgentVersion,
        ColumnCount
    };
    // True on every cell of a marked row.
    static constexpr int MarkedRole = Qt::UserRole + 1;

    // Service states besides the state codes of a listing (0 not installed, 1..7).
    static constexpr qint32 kNotChecked = -1;
    static constexpr qint32 kNotReached = kAgentNotReached;

    struct Row {
        int id = -1;
        QString name;
        bool monitored = false;
        qint32 serviceState = kNotChecked;
        std::optional<QDate> newestDay;
        std::optional<int> daysBehind; // nothing when no day is held
        std::optional<ManagerDatabase::DownloadStatus> lastDownload;
        // As the last file read named it; empty for agents that do not (older ones, the simulator).
        QString agentVersion;
        bool marked = false;
    };

    explicit WorkstationHealth(QObject* parent = nullptr);

    // Reads the registry and the download records again. Machines registered twice in
    // different letter case are one machine: the first row in stored order stands for it.
    void load(const ManagerDatabase& database, QDate today);
    // Marks rows more than days behind; the rows are re-marked at once.
    void setDaysBehindLimit(int days);
    int daysBehindLimit() const { return m_limit; }
    // The outcome of a check of the agent service on machine (any letter case): a state code,
    // or kNotReached when its services could not be listed.
    void setServiceState(const QString& machine, qint32 state);

    const QList<Row>& rows() const { return m_rows; }
    // Names of the marked rows, in the order shown.
    QStringList markedNames() const;
    // Every marked row's name with why it is marked (the row's tool tip).
    QMap<QString, QString> marks() const;
    // Sorts the rows again by the chosen column (after states changed under it).
    void resort();

    // today - newest - 1, never below 0 (a day is complete, and collected, only after midnight);
    // nothing when no day is held.
    static std::optional<int> daysBehind(std::optional<QDate> newest, QDate today);
    // A monitored machine is marked when it holds no day at all or is more than limit days
    // behind; a machine that is not monitored is not downloaded, so falling behind is expected.
    static bool isMarked(bool monitored, std::optional<int> daysBehind, int limit);
    // Why a row is marked, or nothing: the days rule above, and a monitored machine whose agent
    // service the last check found stopped or paused (or on its way there).
    static QString markReason(const Row& row, int limit);
    // How much a service state needs attention, for sorting: running 0 up to not installed.
    static int serviceSeverity(qint32 state);
    static QString serviceText(qint32 state);
    // "Merged 12 rows", "Unreachable", "Could not be read: <reason>", or "Never attempted".
    static QString resultText(const std::optional<ManagerDatabase::DownloadStatus>& status);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // Stable: equal keys keep the name order. Unknown values (no day, never attempted) count as
    // the oldest, so the machines that need attention come first in a descending sort.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    void mark();
    void applySort();
    QString text(const Row& row, int column) const;
    QString toolTip(const Row& row, int column) const;

    QList<Row> m_rows;
    QHash<QString, qint32> m_serviceStates; // by case-folded name
    int m_limit = Settings::kDefaultDaysBehindLimit;
    int m_sortColumn = Name;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};
