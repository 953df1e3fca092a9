// Names as the report groups them: spellings that differ only in letter case are one name.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <vector>

// Each distinct spelling is an entry; the entries whose case-folded texts are equal form one
// group, shown in the spelling seen first.
class ReportNames {
public:
    // The entry of a spelling given as UTF-8. A key, when not negative, is the caller's number
    // for these bytes (the same key always with the same bytes), which spares hashing them.
    int entryOf(const QByteArray& utf8, int key = -1);

    int group(int entry) const { return m_groupOfEntry[static_cast<size_t>(entry)]; }
    const QString& spelling(int entry) const { return m_spelling.at(entry); }
    const QString& firstSpelling(int group) const { return m_firstSpelling.at(group); }
    const QString& folded(int group) const { return m_folded.at(group); }
    int groups() const { return static_cast<int>(m_folded.size()); }

private:
    int find(const QByteArray& utf8);

    QByteArray m_lastBytes;
    int m_lastEntry = -1;
    std::vector<int> m_entryOfKey;
    QHash<QByteArray, int> m_byBytes;
    QList<QString> m_spelling;
    std::vector<int> m_groupOfEntry;
    QHash<QString, int> m_byFolded;
    QList<QString> m_folded;
    QList<QString> m_firstSpelling;
};
