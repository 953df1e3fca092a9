// Title-to-application mapping.
#include "groupings/ApplicationNames.h"

#include "base/TextUtils.h"

#include <algorithm>
#include <deque>

namespace {
quint64 edgeKey(int node, char16_t c) {
    return (static_cast<quint64>(node) << 16) | c;
}
} // namespace

ApplicationNames::ApplicationNames(const ManagerDatabase& database)
    : ApplicationNames(database.groupings(), database.groupingTitles()) {}

ApplicationNames::ApplicationNames(const QList<ManagerDatabase::Grouping>& groupings,
                                   const QList<ManagerDatabase::GroupingTitle>& entries) {
    QList<ManagerDatabase::Grouping> ordered = groupings;
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const auto& a, const auto& b) { return a.rank < b.rank; });
    QHash<QString, QStringList> byAlias;
    for (const auto& entry : entries)
        // The editor stores entries with quotes blanked; an entry stored otherwise is compared
        // the same way, so both sides meet whatever wrote them.
        byAlias[entry.aliasKey.toCaseFolded()].append(BlankQuotes(entry.windowTitle).toCaseFolded());

    m_nodes.emplace_back();
    int priority = 0;
    for (const auto& grouping : ordered) {
        const int position = static_cast<int>(m_aliases.size());
        m_aliases.append(grouping.alias);
        for (const QString& folded : byAlias.value(grouping.alias.toCaseFolded())) {
            m_aliasOfEntry.push_back(position);
            addEntry(folded, priority++);
        }
    }
    link();
}

int ApplicationNames::child(int node, char16_t c) const {
    if (node == 0)
        return m_rootChild.empty() ? -1 : m_rootChild[c];
    const Node& n = m_nodes[static_cast<size_t>(node)];
    if (!n.manyChildren)
        return n.onlyChild >= 0 && n.onlyUnit == c ? n.onlyChild : -1;
    const auto it = m_edges.find(edgeKey(node, c));
    return it == m_edges.end() ? -1 : it->second;
}

void ApplicationNames::addEntry(const QString& folded, int priority) {
    if (folded.isEmpty()) {
        m_emptyBest = std::min(m_emptyBest, priority);
        return;
    }
    int node = 0;
    for (const QChar qc : folded) {
        const char16_t c = qc.unicode();
        int next = child(node, c);
        if (next < 0) {
            next = static_cast<int>(m_nodes.size());
            m_nodes.emplace_back();
            m_edges.emplace(edgeKey(node, c), next);
            if (node == 0) {
                if (m_rootChild.empty())
                    m_rootChild.assign(0x10000, -1);
                m_rootChild[c] = next;
            } else {
                Node& parent = m_nodes[static_cast<size_t>(node)];
                if (parent.onlyChild < 0) {
                    parent.onlyChild = next;
                    parent.onlyUnit = c;
                } else {
                    parent.manyChildren = true;
                }
            }
        }
        node = next;
    }
    Node& end = m_nodes[static_cast<size_t>(node)];
    end.best = std::min(end.best, priority);
}

void ApplicationNames::link() {
    // Children of each node, for the breadth-first pass.
    std::vector<std::vector<std::pair<char16_t, int>>> children(m_nodes.size());
    for (const auto& [key, target] : m_edges)
        children[static_cast<size_t>(key >> 16)].emplace_back(static_cast<char16_t>(key & 0xFFFF), target);
    std::deque<int> queue;
    for (const auto& [c, target] : children[0]) {
        m_nodes[static_cast<size_t>(target)].fail = 0;
        queue.push_back(target);
    }
    while (!queue.empty()) {
        const int node = queue.front();
        queue.pop_front();
        for (const auto& [c, target] : children[static_cast<size_t>(node)]) {
            int f = m_nodes[static_cast<size_t>(node)].fail;
            int next = child(f, c);
            while (next < 0 && f != 0) {
                f = m_nodes[static_cast<size_t>(f)].fail;
                next = child(f, c);
            }
            Node& t = m_nodes[static_cast<size_t>(target)];
            t.fail = next >= 0 ? next : 0;
            // Entries ending at the failure target end here too; parents come first in BFS.
            t.best = std::min(t.best, m_nodes[static_cast<size_t>(t.fail)].best);
            queue.push_back(target);
        }
    }
}

std::optional<QString> ApplicationNames::catchingApplication(const QString& title) const {
    int best = m_emptyBest;
    if (best != 0 && m_nodes.size() > 1) {
        // Entries are compared with their quotes blanked; so is the title.
        const QString folded = BlankQuotes(title).toCaseFolded();
        int node = 0;
        for (const QChar qc : folded) {
            const char16_t c = qc.unicode();
            int next = child(node, c);
            while (next < 0 && node != 0) {
                node = m_nodes[static_cast<size_t>(node)].fail;
                next = child(node, c);
            }
            node = next >= 0 ? next : 0;
            best = std::min(best, m_nodes[static_cast<size_t>(node)].best);
            if (best == 0)
                break; // nothing ranks higher than the first entry of the first grouping
        }
    }
    if (best == INT_MAX)
        return std::nullopt;
    return m_aliases.at(m_aliasOfEntry[static_cast<size_t>(best)]);
}

QString ApplicationNames::GetApplicationName(const QString& title) {
    const auto it = m_cache.constFind(title);
    if (it != m_cache.constEnd())
        return it.value();
    QString name = catchingApplication(title).value_or(kUndefinedApplications);
    m_cache.insert(title, name);
    return name;
}

QStringList ApplicationNames::applications() const {
    QStringList names = m_aliases;
    names.append(kUndefinedApplications);
    return names;
}
