// The title-to-application rule: rank order, entry order, letter case, empty entries.
#include "groupings/ApplicationNames.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {
using Grouping = ManagerDatabase::Grouping;
using Entry = ManagerDatabase::GroupingTitle;

// Groupings given as "alias:entry1|entry2", listed in rank order.
ApplicationNames makeRule(const QStringList& definition) {
    QList<Grouping> groupings;
    QList<Entry> entries;
    int rank = 0;
    for (const QString& line : definition) {
        const QString alias = line.section(QLatin1Char(':'), 0, 0);
        groupings.append({rank + 1, alias, rank, rank});
        ++rank;
        const QString list = line.section(QLatin1Char(':'), 1);
        if (line.contains(QLatin1Char(':'))) {
            for (const QString& entry : list.split(QLatin1Char('|')))
                entries.append({0, alias, entry});
        }
    }
    return ApplicationNames(groupings, entries);
}

// The rule as the groupings editor explains it, examined one entry at a time.
QString naive(const QList<Grouping>& groupings, const QList<Entry>& entries, const QString& title) {
    for (const auto& g : groupings) {
        for (const auto& e : entries) {
            if (e.aliasKey.toCaseFolded() == g.alias.toCaseFolded() &&
                title.toCaseFolded().contains(e.windowTitle.toCaseFolded()))
                return g.alias;
        }
    }
    return kUndefinedApplications;
}
} // namespace

class TstApplicationNames : public QObject {
    Q_OBJECT
private slots:
    void rule_data() {
        QTest::addColumn<QStringList>("groupings");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("expected");
        const QStringList three{"Mail:inbox", "Browser:explorer", "Files:inbox|explorer"};
        QTest::newRow("letter case ignored") << QStringList{"Notes:Notes"} << "NOTES"
                                             << "Notes";
        QTest::newRow("partial title") << QStringList{"Writer:writer"} << "Letter.doc - WRITER"
                                       << "Writer";
        QTest::newRow("positions 3 and 1: 1 wins") << three << "Inbox - Files"
                                                   << "Mail";
        QTest::newRow("positions 3 and 2: 2 wins") << three << "Explorer"
                                                   << "Browser";
        QTest::newRow("no match") << three << "Solitaire" << kUndefinedApplications;
        QTest::newRow("empty entry catches the rest")
            << QStringList{"Mail:inbox", "Any:", "Late:solitaire"} << "Solitaire"
            << "Any";
        QTest::newRow("empty entry below a match") << QStringList{"Mail:inbox", "Any:"} << "Inbox"
                                                   << "Mail";
        QTest::newRow("grouping without entries") << QStringList{"Desktop"} << "x" << kUndefinedApplications;
        QTest::newRow("suffix of a longer entry") << QStringList{"Short:bc", "Long:abcd"} << "xabcd"
                                                  << "Short";
        QTest::newRow("longer entry ranked first") << QStringList{"Long:abcd", "Short:bc"} << "xabcd"
                                                   << "Long";
        QTest::newRow("non-ASCII case") << QStringList{"Greek:λέξη"} << "ΛΈΞΗ notes"
                                        << "Greek";
        QTest::newRow("German case") << QStringList{"Docs:übersicht"} << "ÜBERSICHT 2024"
                                     << "Docs";
        QTest::newRow("no groupings") << QStringList{} << "x" << kUndefinedApplications;
        // Entries are stored with quotes blanked; captured titles keep their apostrophes.
        QTest::newRow("picked title with an apostrophe")
            << QStringList{"Letters:Bob s Letter.doc - Writer"} << "Bob's Letter.doc - Writer"
            << "Letters";
    }
    void rule() {
        QFETCH(QStringList, groupings);
        QFETCH(QString, title);
        QFETCH(QString, expected);
        ApplicationNames names = makeRule(groupings);
        QCOMPARE(names.GetApplicationName(title), expected);
        QCOMPARE(names.GetApplicationName(title), expected); // from the cache
    }

    void entriesJoinTheirGroupingIgnoringCase() {
        ApplicationNames names({{1, "Writer", 0, 0}}, {{1, "WRITER", "doc"}});
        QCOMPARE(names.GetApplicationName("a.doc"), "Writer");
    }

    void rankNotTableOrderDecides() {
        ApplicationNames names({{1, "Second", 1, 1}, {2, "First", 0, 0}},
                               {{1, "Second", "a"}, {2, "First", "a"}});
        QCOMPARE(names.GetApplicationName("a"), "First");
    }

    // Many overlapping entries over a small alphabet: the automaton must agree with the
    // one-entry-at-a-time rule on every title.
    void agreesWithEntryByEntryRule() {
        QRandomGenerator random(42);
        const QString alphabet = "abAB";
        auto word = [&](int maxLength) {
            QString w;
            const int length = random.bounded(maxLength + 1);
            for (int i = 0; i < length; ++i)
                w += alphabet.at(random.bounded(alphabet.size()));
            return w;
        };
        for (int round = 0; round < 20; ++round) {
            QList<Grouping> groupings;
            QList<Entry> entries;
            const int count = 1 + random.bounded(6);
            for (int g = 0; g < count; ++g) {
                const QString alias = QStringLiteral("G%1").arg(g);
                groupings.append({g + 1, alias, g, g});
                const int n = random.bounded(5);
                for (int e = 0; e < n; ++e) {
                    QString entry = word(4);
                    if (entry.isEmpty() && random.bounded(4) != 0)
                        entry = "ab";
                    entries.append({0, alias, entry});
                }
            }
            ApplicationNames names(groupings, entries);
            for (int t = 0; t < 200; ++t) {
                const QString title = word(10);
                QCOMPARE(names.GetApplicationName(title), naive(groupings, entries, title));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TstApplicationNames)
#include "tst_applicationnames.moc"
