// Report names: spellings by bytes or by the caller's key, groups by case-folded text.
#include "report/ReportNames.h"

int ReportNames::entryOf(const QByteArray& utf8, int key) {
    if (key >= 0) {
        if (static_cast<size_t>(key) >= m_entryOfKey.size())
            m_entryOfKey.resize(static_cast<size_t>(key) + 1, -1);
        int& entry = m_entryOfKey[static_cast<size_t>(key)];
        if (entry < 0)
            entry = find(utf8);
        return entry;
    }
    // Rows come in runs of one name; the last one answers most lookups.
    if (m_lastEntry >= 0 && utf8 == m_lastBytes)
        return m_lastEntry;
    m_lastBytes = QByteArray(utf8.constData(), utf8.size());
    m_lastEntry = find(utf8);
    return m_lastEntry;
}

int ReportNames::find(const QByteArray& utf8) {
    const auto it = m_byBytes.constFind(utf8);
    if (it != m_byBytes.constEnd())
        return it.value();
    const QString text = QString::fromUtf8(utf8);
    const QString folded = text.toCaseFolded();
    auto group = m_byFolded.constFind(folded);
    if (group == m_byFolded.constEnd()) {
        group = m_byFolded.insert(folded, static_cast<int>(m_folded.size()));
        m_folded.append(folded);
        m_firstSpelling.append(text);
    }
    const int entry = static_cast<int>(m_spelling.size());
    m_spelling.append(text);
    m_groupOfEntry.push_back(group.value());
    // A deep copy: the caller's bytes may be a view into an engine row.
    m_byBytes.insert(QByteArray(utf8.constData(), utf8.size()), entry);
    return entry;
}
