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
        groupings.append({rank + 1, alias, rank});
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
        const QStringList three{QStringLiteral("Mail:inbox"), QStringLiteral("Browser:explorer"),
                                QStringLiteral("Files:inbox|explorer")};
        QTest::newRow("letter case ignored") << QStringList{QStringLiteral("Notes:Notes")}
                                             << QStringLiteral("NOTES") << QStringLiteral("Notes");
        QTest::newRow("partial title") << QStringList{QStringLiteral("Writer:writer")}
                                       << QStringLiteral("Letter.doc - WRITER") << QStringLiteral("Writer");
        QTest::newRow("positions 3 and 1: 1 wins")
            << three << QStringLiteral("Inbox - Files") << QStringLiteral("Mail");
        QTest::newRow("positions 3 and 2: 2 wins")
            << three << QStringLiteral("Explorer") << QStringLiteral("Browser");
        QTest::newRow("no match") << three << QStringLiteral("Solitaire") << kUndefinedApplications;
        QTest::newRow("empty entry catches the rest")
            << QStringList{QStringLiteral("Mail:inbox"), QStringLiteral("Any:"),
                           QStringLiteral("Late:solitaire")}
            << QStringLiteral("Solitaire") << QStringLiteral("Any");
        QTest::newRow("empty entry below a match")
            << QStringList{QStringLiteral("Mail:inbox"), QStringLiteral("Any:")} << QStringLiteral("Inbox")
            << QStringLiteral("Mail");
        QTest::newRow("grouping without entries")
            << QStringList{QStringLiteral("Desktop")} << QStringLiteral("x") << kUndefinedApplications;
        QTest::newRow("suffix of a longer entry")
            << QStringList{QStringLiteral("Short:bc"), QStringLiteral("Long:abcd")} << QStringLiteral("xabcd")
            << QStringLiteral("Short");
        QTest::newRow("longer entry ranked first")
            << QStringList{QStringLiteral("Long:abcd"), QStringLiteral("Short:bc")} << QStringLiteral("xabcd")
            << QStringLiteral("Long");
        QTest::newRow("non-ASCII case") << QStringList{QStringLiteral("Greek:λέξη")}
                                        << QStringLiteral("ΛΈΞΗ notes") << QStringLiteral("Greek");
        QTest::newRow("German case") << QStringList{QStringLiteral("Docs:übersicht")}
                                     << QStringLiteral("ÜBERSICHT 2024") << QStringLiteral("Docs");
        QTest::newRow("no groupings") << QStringList{} << QStringLiteral("x") << kUndefinedApplications;
        // Entries are stored with quotes blanked; captured titles keep their apostrophes.
        QTest::newRow("picked title with an apostrophe")
            << QStringList{QStringLiteral("Letters:Bob s Letter.doc - Writer")}
            << QStringLiteral("Bob's Letter.doc - Writer") << QStringLiteral("Letters");
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
        ApplicationNames names({{1, QStringLiteral("Writer"), 0}},
                               {{1, QStringLiteral("WRITER"), QStringLiteral("doc")}});
        QCOMPARE(names.GetApplicationName(QStringLiteral("a.doc")), QStringLiteral("Writer"));
    }

    void rankNotTableOrderDecides() {
        ApplicationNames names({{1, QStringLiteral("Second"), 1}, {2, QStringLiteral("First"), 0}},
                               {{1, QStringLiteral("Second"), QStringLiteral("a")},
                                {2, QStringLiteral("First"), QStringLiteral("a")}});
        QCOMPARE(names.GetApplicationName(QStringLiteral("a")), QStringLiteral("First"));
    }

    // Many overlapping entries over a small alphabet: the automaton must agree with the
    // one-entry-at-a-time rule on every title.
    void agreesWithEntryByEntryRule() {
        QRandomGenerator random(42);
        const QString alphabet = QStringLiteral("abAB");
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
                groupings.append({g + 1, alias, g});
                const int n = random.bounded(5);
                for (int e = 0; e < n; ++e) {
                    QString entry = word(4);
                    if (entry.isEmpty() && random.bounded(4) != 0)
                        entry = QStringLiteral("ab");
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
