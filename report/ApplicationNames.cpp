// Title-to-application mapping.
#include "report/ApplicationNames.h"

#include <algorithm>

ApplicationNames::ApplicationNames(const ManagerDatabase& database)
    : ApplicationNames(database.groupings(), database.groupingTitles()) {}

ApplicationNames::ApplicationNames(const QList<ManagerDatabase::Grouping>& groupings,
                                   const QList<ManagerDatabase::GroupingTitle>& entries) {
    QList<ManagerDatabase::Grouping> ordered = groupings;
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const auto& a, const auto& b) { return a.rank < b.rank; });
    QHash<QString, QStringList> byAlias;
    for (const auto& entry : entries)
        byAlias[entry.aliasKey].append(entry.windowTitle.toCaseFolded());
    for (const auto& grouping : ordered)
        m_groupings.append({grouping.alias, byAlias.value(grouping.alias)});
}

QString ApplicationNames::map(const QString& title) const {
    const QString folded = title.toCaseFolded();
    for (const Grouping& grouping : m_groupings) {
        for (const QString& entry : grouping.foldedEntries) {
            if (folded.contains(entry))
                return grouping.alias;
        }
    }
    return kUndefinedApplications;
}

QString ApplicationNames::GetApplicationName(const QString& title) {
    const auto it = m_cache.constFind(title);
    if (it != m_cache.constEnd())
        return it.value();
    QString name = map(title);
    m_cache.insert(title, name);
    return name;
}
