// Workstation health rows: registry, newest days and download records, their texts and marks.
#include "discovery/WorkstationHealth.h"

#include "discovery/ServiceStatus.h"
#include "store/Dates.h"

#include <algorithm>
#include <climits>
#include <QLocale>
#include <QSet>
#include <QVersionNumber>

namespace {
// Key of a machine name in lookups: names compare without regard to letter case.
QString nameKey(const QString& name) {
    return name.toCaseFolded();
}

// Sort keys; a missing value is the oldest or the worst.
qint64 daysKey(const WorkstationHealth::Row& row) {
    return row.daysBehind ? *row.daysBehind : LLONG_MAX;
}
qint64 newestKey(const WorkstationHealth::Row& row) {
    return row.newestDay ? row.newestDay->toJulianDay() : LLONG_MIN;
}
qint64 attemptKey(const WorkstationHealth::Row& row) {
    return row.lastDownload ? row.lastDownload->attemptTime.toSecsSinceEpoch() : LLONG_MIN;
}
// Versions compare by their numbers (1.10 after 1.9); unknown ones first.
bool versionLess(const QString& a, const QString& b) {
    if (a.isEmpty() || b.isEmpty())
        return a.isEmpty() && !b.isEmpty();
    const int order = QVersionNumber::compare(QVersionNumber::fromString(a), QVersionNumber::fromString(b));
    return order != 0 ? order < 0 : a < b;
}
} // namespace

WorkstationHealth::WorkstationHealth(QObject* parent) : QAbstractTableModel(parent) {}

void WorkstationHealth::load(const ManagerDatabase& database, QDate today) {
    QList<Row> rows;
    QSet<QString> seen;
    for (const ManagerDatabase::Workstation& ws : database.workstations()) {
        if (seen.contains(nameKey(ws.name)))
            continue;
        seen.insert(nameKey(ws.name));
        Row row;
        row.id = ws.id;
        row.name = ws.name;
        row.monitored = ws.monitored;
        row.serviceState = m_serviceStates.value(nameKey(ws.name), kNotChecked);
        row.newestDay = database.newestDay(ws.id);
        row.daysBehind = daysBehind(row.newestDay, today);
        row.lastDownload = database.downloadStatus(ws.id);
        row.agentVersion = database.agentVersion(ws.id);
        rows.append(row);
    }
    beginResetModel();
    m_rows = rows;
    mark();
    applySort();
    endResetModel();
}

void WorkstationHealth::setDaysBehindLimit(int days) {
    m_limit = std::max(days, 0);
    mark();
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

void WorkstationHealth::setServiceState(const QString& machine, qint32 state) {
    m_serviceStates.insert(nameKey(machine), state);
    for (int i = 0; i < m_rows.size(); ++i) {
        if (nameKey(m_rows[i].name) != nameKey(machine))
            continue;
        m_rows[i].serviceState = state;
        m_rows[i].marked = !markReason(m_rows[i], m_limit).isEmpty();
        emit dataChanged(index(i, 0), index(i, ColumnCount - 1));
    }
}

QStringList WorkstationHealth::markedNames() const {
    QStringList names;
    for (const Row& row : m_rows)
        if (row.marked)
            names.append(row.name);
    return names;
}

QMap<QString, QString> WorkstationHealth::marks() const {
    QMap<QString, QString> reasons;
    for (const Row& row : m_rows)
        if (row.marked)
            reasons.insert(row.name, markReason(row, m_limit));
    return reasons;
}

void WorkstationHealth::resort() {
    sort(m_sortColumn, m_sortOrder);
}

QString WorkstationHealth::markReason(const Row& row, int limit) {
    if (!row.monitored)
        return {};
    QStringList reasons;
    if (!row.daysBehind)
        reasons.append(QStringLiteral("Monitored, but no day of usage is held for this workstation"));
    else if (*row.daysBehind > limit)
        reasons.append(QStringLiteral("More than %1 days behind").arg(limit));
    // A halted agent records nothing: its machine falls behind from today on.
    switch (row.serviceState) {
    case 1:
    case 3:
        reasons.append(QStringLiteral("The agent service is stopped"));
        break;
    case 6:
    case 7:
        reasons.append(QStringLiteral("The agent service is paused"));
        break;
    default:
        break;
    }
    return reasons.join(QStringLiteral("; "));
}

int WorkstationHealth::serviceSeverity(qint32 state) {
    switch (state) {
    case 4: // running
        return 0;
    case 2: // starting
    case 5: // about to resume
        return 1;
    case kNotChecked:
        return 2;
    case 6: // about to pause
    case 7: // paused
        return 3;
    case 3: // stopping
    case 1: // stopped
        return 4;
    case kNotReached:
        return 5;
    default: // not installed
        return 6;
    }
}

std::optional<int> WorkstationHealth::daysBehind(std::optional<QDate> newest, QDate today) {
    if (!newest || !newest->isValid())
        return std::nullopt;
    return static_cast<int>(std::max<qint64>(newest->daysTo(today) - 1, 0));
}

bool WorkstationHealth::isMarked(bool monitored, std::optional<int> daysBehind, int limit) {
    return monitored && (!daysBehind || *daysBehind > limit);
}

QString WorkstationHealth::serviceText(qint32 state) {
    if (state == kNotChecked)
        return QStringLiteral("Not checked");
    if (state == kNotReached)
        return QStringLiteral("Not reached");
    // The Check Workstations page's text without its lead-in.
    static const QString lead = QStringLiteral(": Vellumcrest service ");
    QString text = serviceStateText(state);
    if (text.startsWith(lead))
        text = text.mid(lead.size());
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

QString WorkstationHealth::resultText(const std::optional<ManagerDatabase::DownloadStatus>& status) {
    using Result = ManagerDatabase::DownloadStatus::Result;
    if (!status)
        return QStringLiteral("Never attempted");
    switch (status->result) {
    case Result::Merged:
        return status->rowsMerged == 1 ? QStringLiteral("Merged 1 row")
                                       : QStringLiteral("Merged %1 rows").arg(status->rowsMerged);
    case Result::Unreachable:
        return status->reason.isEmpty() ? QStringLiteral("Unreachable")
                                        : QStringLiteral("Unreachable: ") + status->reason.simplified();
    case Result::Failed:
        return QStringLiteral("Could not be read: ") + status->reason.simplified();
    }
    // A code no console writes: the record is damaged, which is worth saying as such.
    return QStringLiteral("Unknown result %1").arg(int(status->result));
}

void WorkstationHealth::mark() {
    for (Row& row : m_rows)
        row.marked = !markReason(row, m_limit).isEmpty();
}

int WorkstationHealth::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int WorkstationHealth::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QString WorkstationHealth::text(const Row& row, int column) const {
    switch (column) {
    case Name:
        return row.name;
    case Monitored:
        return row.monitored ? QStringLiteral("Yes") : QStringLiteral("No");
    case Service:
        return serviceText(row.serviceState);
    case NewestDay:
        return row.newestDay ? Dates::shortText(*row.newestDay) : QStringLiteral("None");
    case DaysBehind:
        return row.daysBehind ? QString::number(*row.daysBehind) : QStringLiteral("No data");
    case LastAttempt:
        return row.lastDownload && row.lastDownload->attemptTime.isValid()
                   ? QLocale().toString(row.lastDownload->attemptTime.toLocalTime(), QLocale::ShortFormat)
                   : QStringLiteral("Never");
    case Result:
        return resultText(row.lastDownload);
    case AgentVersion:
        return row.agentVersion.isEmpty() ? QStringLiteral("Unknown") : row.agentVersion;
    default:
        return {};
    }
}

QString WorkstationHealth::toolTip(const Row& row, int column) const {
    if (column == Result)
        return resultText(row.lastDownload);
    return row.marked ? markReason(row, m_limit) : QString();
}

QVariant WorkstationHealth::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size() || index.column() >= ColumnCount)
        return {};
    const Row& row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return text(row, index.column());
    case Qt::ToolTipRole: {
        const QString tip = toolTip(row, index.column());
        return tip.isEmpty() ? QVariant() : QVariant(tip);
    }
    case Qt::TextAlignmentRole:
        return index.column() == DaysBehind ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter)) : QVariant();
    case MarkedRole:
        return row.marked;
    default:
        return {};
    }
}

QVariant WorkstationHealth::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const names[] = {"Workstation", "Monitored",     "Service", "Newest Day",
                                        "Days Behind", "Last Download", "Result",  "Agent Version"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(names[section]) : QVariant();
}

void WorkstationHealth::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= ColumnCount)
        return;
    m_sortColumn = column;
    m_sortOrder = order;
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    QList<int> ids;
    for (const QModelIndex& index : before)
        ids.append(m_rows.at(index.row()).id);
    applySort();
    QModelIndexList after;
    for (int i = 0; i < before.size(); ++i) {
        const auto found =
            std::find_if(m_rows.cbegin(), m_rows.cend(), [&](const Row& row) { return row.id == ids.at(i); });
        after.append(index(static_cast<int>(found - m_rows.cbegin()), before.at(i).column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

void WorkstationHealth::applySort() {
    // Names first, so that equal keys of the chosen column leave the machines in name order.
    std::stable_sort(m_rows.begin(), m_rows.end(), [](const Row& a, const Row& b) {
        return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });
    const int column = m_sortColumn;
    auto less = [column](const Row& a, const Row& b) {
        switch (column) {
        case Monitored:
            return a.monitored < b.monitored;
        case Service: // the ones that need attention last, or first in a descending sort
            return serviceSeverity(a.serviceState) < serviceSeverity(b.serviceState);
        case NewestDay:
            return newestKey(a) < newestKey(b);
        case DaysBehind:
            return daysKey(a) < daysKey(b);
        case LastAttempt:
            return attemptKey(a) < attemptKey(b);
        case Result:
            return resultText(a.lastDownload).compare(resultText(b.lastDownload), Qt::CaseInsensitive) < 0;
        case AgentVersion:
            return versionLess(a.agentVersion, b.agentVersion);
        default:
            return false; // Name: already in order
        }
    };
    if (m_sortOrder == Qt::AscendingOrder)
        std::stable_sort(m_rows.begin(), m_rows.end(), less);
    else
        std::stable_sort(m_rows.begin(), m_rows.end(),
                         [&less](const Row& a, const Row& b) { return less(b, a); });
    if (column == Name && m_sortOrder == Qt::DescendingOrder)
        std::reverse(m_rows.begin(), m_rows.end());
}
