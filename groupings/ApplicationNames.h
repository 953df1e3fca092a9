// The rule that maps a captured window title to an application (grouping) name.
#pragma once

#include "store/ManagerDatabase.h"

#include <climits>
#include <optional>
#include <QHash>
#include <QList>
#include <QString>
#include <unordered_map>
#include <vector>

inline const QString kUndefinedApplications = QStringLiteral("Undefined Applications");

class ApplicationNames {
public:
    // Reads the groupings and their entries once; later changes to the tables are not seen.
    explicit ApplicationNames(const ManagerDatabase& database);
    ApplicationNames(const QList<ManagerDatabase::Grouping>& groupings,
                     const QList<ManagerDatabase::GroupingTitle>& entries);

    // Groupings in Rank order (table order among equal ranks); within a grouping, its entries
    // in stored order. The first entry that occurs in the title, ignoring letter case and with
    // quotes blanked on both sides (the editor stores entries so), names the application; an empty entry
    // occurs in every title. No match: "Undefined Applications". An entry belongs to the grouping whose name
    // equals its AliasKey ignoring letter case, as the engine's criterion does; the grouping's own spelling
    // is returned. Results are cached per title.
    QString GetApplicationName(const QString& title);
    // The same rule without the cache, telling a title no entry occurs in (nothing) apart from
    // one caught by a grouping that happens to be named "Undefined Applications".
    std::optional<QString> catchingApplication(const QString& title) const;

    // Every name GetApplicationName can give: the groupings in order, then "Undefined Applications".
    QStringList applications() const;

private:
    // All entries of all groupings in one automaton over case-folded UTF-16 units. Each entry
    // has a priority (grouping position, then entry order); the lowest one found in the title
    // wins, which is what examining the groupings and entries in order would give.
    struct Node {
        int fail = 0;
        int best = INT_MAX; // lowest priority of an entry ending here or at a suffix of it
        // Most nodes have one child: it is kept here, and m_edges is asked only past that.
        int onlyChild = -1;
        char16_t onlyUnit = 0;
        bool manyChildren = false;
    };
    int child(int node, char16_t c) const;
    void addEntry(const QString& folded, int priority);
    void link();

    QList<QString> m_aliases;        // grouping names, by position
    std::vector<int> m_aliasOfEntry; // grouping position of each priority
    std::vector<Node> m_nodes;
    std::unordered_map<quint64, int> m_edges; // (node << 16 | unit) -> child
    std::vector<int> m_rootChild;             // unit -> child of the root, or -1: the busiest node
    int m_emptyBest = INT_MAX;                // lowest priority among empty entries
    QHash<QString, QString> m_cache;
};
