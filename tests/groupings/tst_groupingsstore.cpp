// Groupings persistence: the rank rule, exact alias keys, the title-delete lookup and whole units.
#include "base/VcError.h"
#include "groupings/GroupingsStore.h"
#include "support/ManagerFixture.h"
#include "support/TestEnv.h"

#include <QtTest>

class TstGroupingsStore : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }

    void aliasesFollowRank_data() {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("installed") << QStringList{"Desktop=0"} << QStringList{"Desktop"};
        QTest::newRow("empty") << QStringList{} << QStringList{};
        QTest::newRow("table order differs from rank")
            << QStringList{"C=2", "A=0", "B=1"} << QStringList{"A", "B", "C"};
        QTest::newRow("equal ranks keep table order, out of range hidden")
            << QStringList{"A=0", "B=1", "C=1", "D=5"} << QStringList{"A", "B", "C"};
        QTest::newRow("negative rank hidden") << QStringList{"A=-1", "B=0"} << QStringList{"B"};
        QTest::newRow("gap hides nothing that is in range")
            << QStringList{"A=3", "B=0", "C=2", "D=2"} << QStringList{"B", "C", "D", "A"};
    }
    void aliasesFollowRank() {
        QFETCH(QStringList, rows);
        QFETCH(QStringList, expected);
        ManagerFixture f;
        f.setGroupings(rows);
        QCOMPARE(GroupingsStore(f.db()).aliases(), expected);
    }

    void titlesMatchTheAliasExactly() {
        ManagerFixture f;
        f.addTitleRow("Word", "x");
        f.addTitleRow("word", "y");
        f.addTitleRow("Word", "z");
        f.addTitleRow("Word ", "w");
        QCOMPARE(GroupingsStore(f.db()).titlesOf("Word"), (QStringList{"x", "z"}));
    }

    void deleteTitle_data() {
        QTest::addColumn<QStringList>("rows"); // AliasKey|WindowTitle
        QTest::addColumn<QString>("alias");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QStringList>("remaining");
        QTest::newRow("one of a duplicate pair") << QStringList{"A|x", "A|y", "A|x"} << "A"
                                                 << "x" << true << QStringList{"A|y", "A|x"};
        QTest::newRow("title in other letter case still found")
            << QStringList{"Notepad|Untitled", "B|q"} << "Notepad"
            << "untitled" << true << QStringList{"B|q"};
        QTest::newRow("letter case beyond ASCII") << QStringList{"Éditeur|Überblick"} << "Éditeur"
                                                  << "überblick" << true << QStringList{};
        // The fallback never leaves the selected alias, even for one spelled alike.
        QTest::newRow("case variant under another alias untouched")
            << QStringList{"WORD|Doc", "Word|x"} << "Word"
            << "doc" << false << QStringList{"WORD|Doc", "Word|x"};
        QTest::newRow("alias in other letter case is another alias") << QStringList{"Mail|x"} << "MAIL"
                                                                     << "x" << false << QStringList{"Mail|x"};
        QTest::newRow("exact row preferred over an earlier case variant")
            << QStringList{"Word|doc", "WORD|doc"} << "WORD"
            << "doc" << true << QStringList{"Word|doc"};
        QTest::newRow("same title of another alias untouched") << QStringList{"A|x", "B|x"} << "B"
                                                               << "x" << true << QStringList{"A|x"};
        QTest::newRow("missing") << QStringList{"A|x"} << "A"
                                 << "y" << false << QStringList{"A|x"};
        QTest::newRow("double quotes in the alias") << QStringList{"Say \"hi\"|x"} << "Say \"hi\""
                                                    << "x" << true << QStringList{};
    }
    void deleteTitle() {
        QFETCH(QStringList, rows);
        QFETCH(QString, alias);
        QFETCH(QString, title);
        QFETCH(bool, found);
        QFETCH(QStringList, remaining);
        ManagerFixture f;
        for (const QString& row : rows)
            f.addTitleRow(row.section('|', 0, 0), row.section('|', 1));
        QCOMPARE(GroupingsStore(f.db()).deleteTitle(alias, title), found);
        QCOMPARE(f.titleRows(), remaining);
    }

    // A unit that fails part-way leaves both tables exactly as they were.
    void failedUnitsLeaveTablesUnchanged_data() {
        QTest::addColumn<QString>("unit");
        QTest::newRow("order rewrite") << "saveOrder";
        QTest::newRow("alias deletion") << "deleteAlias";
        QTest::newRow("picked titles") << "addTitles";
    }
    void failedUnitsLeaveTablesUnchanged() {
        QFETCH(QString, unit);
        ManagerFixture f;
        f.setGroupings({"Desktop=0", "A=1", "B=2", "C=3"});
        f.addTitleRow("A", "a1");
        f.addTitleRow("A", "a2");
        // The last row of each unit is refused, after the first rows went through.
        f.refuse("INSERT", "MGRGroupings", "NEW.Alias = 'C'");
        f.refuse("INSERT", "MGRGroupingsData", "NEW.WindowTitle = 'last'");
        const QStringList groupings = f.groupingRows();
        const QStringList titles = f.titleRows();
        GroupingsStore store(f.db());
        try {
            if (unit == "saveOrder")
                store.saveOrder({"Desktop", "B", "A", "C"});
            else if (unit == "deleteAlias")
                store.deleteAlias("A", {"Desktop", "B", "C"});
            else
                store.addTitles("B", {"first", "second", "last"});
            QFAIL("the refused write was not reported");
        } catch (const VcError& error) {
            QVERIFY2(error.description().contains("refused by the test"), qPrintable(error.description()));
        }
        QCOMPARE(f.groupingRows(), groupings);
        QCOMPARE(f.titleRows(), titles);
        // The connection is usable again afterwards: no transaction was left open.
        store.addAlias("D", 4);
        QCOMPARE(store.aliases().constLast(), QString("D"));
    }

    void quotesInAliasNamesAreKeptAndBound() {
        ManagerFixture f;
        GroupingsStore store(f.db());
        const QString alias = QStringLiteral("Say \"hi\" ' --");
        store.addAlias(alias, 1);
        store.addTitles(alias, {"one", "two"});
        QCOMPARE(store.aliases(), (QStringList{"Desktop", alias}));
        QCOMPARE(store.titlesOf(alias), (QStringList{"one", "two"}));
        store.deleteAlias(alias, {"Desktop"});
        QCOMPARE(f.titleRows(), QStringList{});
        QCOMPARE(f.groupingRows(), QStringList{"Desktop=0"});
    }

    void loneSurrogatesBecomeReplacementMarks() {
        // Bound as they were, the engine took "x" for the other half of the first one.
        ManagerFixture f;
        GroupingsStore store(f.db());
        const QString typed =
            QString(QChar(0xD800)) + QStringLiteral("x") + QChar(0xDC00) + QStringLiteral("y");
        const QString kept = QStringLiteral("\uFFFDx\uFFFDy");
        store.addAlias(typed, 1);
        store.addTitles(typed, {typed + QStringLiteral(" \U0001F600")});
        QCOMPARE(store.aliases(), (QStringList{"Desktop", kept}));
        QCOMPARE(store.titlesOf(kept), QStringList{kept + QStringLiteral(" \U0001F600")});
    }
};

QTEST_GUILESS_MAIN(TstGroupingsStore)
#include "tst_groupingsstore.moc"
