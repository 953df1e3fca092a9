// Merge of one workstation into the manager database: what is imported, skipped and kept.
#include "base/VcError.h"
#include "collect/DataDownload.h"
#include "collect/WorkstationMerge.h"
#include "network/SimNetwork.h"
#include "store/ManagerDatabase.h"
#include "store/WorkstationDatabase.h"
#include "support/AgentOracle.h"
#include "support/ManagerFixture.h"
#include "support/SimNetworkWriter.h"
#include "support/TestEnv.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {
const QStringList kUsers = {QStringLiteral("alice"), QStringLiteral("bob")};
const QStringList kTitles = {QStringLiteral("Inbox - Mail"), QStringLiteral("Budget.xlsx - Sheets")};

QString agentPath(ManagerFixture& f, const QString& workstation) {
    return f.filePath(workstation + QStringLiteral(".mdb"));
}

AgentRow row(const QString& date, const QString& user, const QString& title, qint64 seconds) {
    return {date, user, title, seconds};
}

WorkstationMerge::Result mergeOnce(ManagerFixture& f, const QString& workstation, const QString& file = {}) {
    return WorkstationMerge(f.db()).UpdateWorkstationInfo(
        workstation, WorkstationDatabase(file.isEmpty() ? agentPath(f, workstation) : file));
}
} // namespace

class TstMerge : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }

    void firstDownloadThenOnlyLaterDays() {
        ManagerFixture f;
        f.registerWorkstations({"WS1"});
        // Rows in no particular date order: the newest-day marker must not move during the loop.
        SimNetworkWriter::writeAgentFile(agentPath(f, "WS1"), kUsers, kTitles,
                                         {row("2024-03-02", "bob", "Inbox - Mail", 60),
                                          row("2024-01-15", "alice", "Inbox - Mail", 30),
                                          row("2024-03-02", "alice", "Budget.xlsx - Sheets", 90),
                                          row("2023-12-31", "alice", "Budget.xlsx - Sheets", 10)});

        const auto first = mergeOnce(f, "WS1");
        QCOMPARE(first.rowsImported, 4);
        QCOMPARE(first.usersAdded, 2);
        QCOMPARE(first.titlesAdded, 2);
        QCOMPARE(f.usage(),
                 QStringList({"WS1|alice|Budget.xlsx - Sheets|2023-12-31|10",
                              "WS1|alice|Budget.xlsx - Sheets|2024-03-02|90",
                              "WS1|alice|Inbox - Mail|2024-01-15|30", "WS1|bob|Inbox - Mail|2024-03-02|60"}));

        // Second start the same day: nothing new.
        const auto second = mergeOnce(f, "WS1");
        QCOMPARE(second.rowsImported, 0);
        QCOMPARE(second.usersAdded, 0);
        QCOMPARE(f.scalar("SELECT count(*) FROM MGRDaySummary"), 4);

        // The agent adds a late row to the newest stored day and a new day: only the new day comes in.
        SimNetworkWriter::appendAgentRows(agentPath(f, "WS1"),
                                          {row("2024-03-02", "bob", "Budget.xlsx - Sheets", 5),
                                           row("2024-03-03", "bob", "Budget.xlsx - Sheets", 7),
                                           row("2024-02-01", "bob", "Inbox - Mail", 8)});
        const auto third = mergeOnce(f, "WS1");
        QCOMPARE(third.rowsImported, 1);
        QCOMPARE(f.scalar("SELECT count(*) FROM MGRDaySummary WHERE Date = '2024-03-03' AND Duration = 7"),
                 1);
        QCOMPARE(f.scalar("SELECT count(*) FROM MGRDaySummary"), 5);
    }

    void timeOfDayIsDropped() {
        ManagerFixture f;
        f.registerWorkstations({"WS1"});
        SimNetworkWriter::writeAgentFile(agentPath(f, "WS1"), kUsers, kTitles,
                                         {row("2024-03-01 10:15:00", "alice", "Inbox - Mail", 60),
                                          row("2024-03-02T00:00:01", "bob", "Inbox - Mail", 5)});
        QCOMPARE(mergeOnce(f, "WS1").rowsImported, 2);
        QCOMPARE(f.usage(),
                 QStringList({"WS1|alice|Inbox - Mail|2024-03-01|60", "WS1|bob|Inbox - Mail|2024-03-02|5"}));

        // A later time on the newest stored day is still that day, so it is not taken again.
        SimNetworkWriter::appendAgentRows(agentPath(f, "WS1"),
                                          {row("2024-03-02 23:59:59", "alice", "Inbox - Mail", 1)});
        QCOMPARE(mergeOnce(f, "WS1").rowsImported, 0);
    }

    void quotedTitleSharedByTwoWorkstations() {
        ManagerFixture f;
        f.registerWorkstations({"WS1", "WS2"});
        const QString quoted = QStringLiteral("\"Q1 Report\".docx - Writer");
        SimNetworkWriter::writeAgentFile(agentPath(f, "WS1"), {"alice"}, {quoted},
                                         {row("2024-03-01", "alice", quoted, 60)});
        SimNetworkWriter::writeAgentFile(agentPath(f, "WS2"), {"bob"}, {quoted},
                                         {row("2024-03-01", "bob", quoted, 30)});

        WorkstationMerge merge(f.db());
        for (const QString ws : {"WS1", "WS2"})
            QCOMPARE(merge.UpdateWorkstationInfo(ws, WorkstationDatabase(agentPath(f, ws))).rowsImported, 1);
        QCOMPARE(f.scalar("SELECT count(*) FROM MGRAppTitles"), 1);
        QCOMPARE(f.usage(), QStringList({"WS1|alice| Q1 Report .docx - Writer|2024-03-01|60",
                                         "WS2|bob| Q1 Report .docx - Writer|2024-03-01|30"}));
    }

    void namesMissingFromNameTables() {
        ManagerFixture f;
        f.registerWorkstations({"WS1", "WS2"});
        // WS1's name tables lack "carol" and "Notes"; WS2 contributes "Notes" only.
        SimNetworkWriter::writeAgentFile(agentPath(f, "WS1"), {"alice"}, {"Inbox - Mail"},
                                         {row("2024-03-01", "alice", "Inbox - Mail", 1),
                                          row("2024-03-01", "carol", "Inbox - Mail", 2),
                                          row("2024-03-01", "alice", "Notes", 3)});
        SimNetworkWriter::writeAgentFile(agentPath(f, "WS2"), {"alice"}, {"Notes"}, {});
        // A workstation that is not in the registry gets no day rows, but its names still come in.
        SimNetworkWriter::writeAgentFile(agentPath(f, "WS9"), {"dave"}, {"Inbox - Mail"},
                                         {row("2024-03-01", "dave", "Inbox - Mail", 4)});

        WorkstationMerge merge(f.db());
        for (const QString ws : {"WS2", "WS1", "WS9"})
            merge.UpdateWorkstationInfo(ws, WorkstationDatabase(agentPath(f, ws)));
        QCOMPARE(f.usage(),
                 QStringList({"WS1|alice|Inbox - Mail|2024-03-01|1", "WS1|alice|Notes|2024-03-01|3"}));
        QCOMPARE(f.scalar("SELECT count(*) FROM MGRUsers WHERE UserName = 'carol'"), 0);
        QCOMPARE(f.scalar("SELECT count(*) FROM MGRUsers WHERE UserName = 'dave'"), 1);
    }

    void letterCaseVariants() {
        ManagerFixture f;
        f.registerWorkstations({"WS-Alpha", "WS-Beta"});
        SimNetworkWriter::writeAgentFile(
            agentPath(f, "a"), {"Alice", "alice"}, {"Inbox - Mail"},
            {row("2024-03-01", "alice", "INBOX - MAIL", 1), row("2024-03-01", "Alice", "Inbox - Mail", 2)});
        // Second workstation: other spellings, including a non-ASCII one that folds to the same name.
        SimNetworkWriter::writeAgentFile(
            agentPath(f, "b"), {"ALICE", "Jürgen"}, {"inbox - mail"},
            {row("2024-03-01", "ALICE", "inbox - mail", 3), row("2024-03-01", "JÜRGEN", "inbox - mail", 4)});
        // The registry holds "WS-Alpha"; the tree may hand over another spelling.
        WorkstationMerge merge(f.db());
        QCOMPARE(merge.UpdateWorkstationInfo("ws-alpha", WorkstationDatabase(agentPath(f, "a"))).rowsImported,
                 2);
        QCOMPARE(merge.UpdateWorkstationInfo("WS-BETA", WorkstationDatabase(agentPath(f, "b"))).rowsImported,
                 2);
        // One row per name, in the first spelling seen.
        QCOMPARE(f.db().users().size(), 2);
        QCOMPARE(f.db().users().at(0).name, QStringLiteral("Alice"));
        QCOMPARE(f.db().users().at(1).name, QStringLiteral("Jürgen"));
        QCOMPARE(f.db().appTitles().size(), 1);
        QCOMPARE(f.usage(), QStringList({"WS-Alpha|Alice|Inbox - Mail|2024-03-01|1",
                                         "WS-Alpha|Alice|Inbox - Mail|2024-03-01|2",
                                         "WS-Beta|Alice|Inbox - Mail|2024-03-01|3",
                                         "WS-Beta|Jürgen|Inbox - Mail|2024-03-01|4"}));

        // A later run loads the stored spellings and still matches without regard to case.
        SimNetworkWriter::writeAgentFile(agentPath(f, "c"), {"aLiCe"}, {"INBOX - mail"},
                                         {row("2024-03-02", "aLiCe", "INBOX - mail", 5)});
        QCOMPARE(mergeOnce(f, "WS-Beta", agentPath(f, "c")).rowsImported, 1);
        QCOMPARE(f.db().users().size(), 2);
        QCOMPARE(f.db().appTitles().size(), 1);
    }

    void interruptedMergeLeavesNothing() {
        ManagerFixture f;
        f.registerWorkstations({"WS1", "WS2"});
        QList<AgentRow> rows;
        for (int day = 1; day <= 5; ++day) {
            const QString date = QDate(2024, 3, day).toString(Qt::ISODate);
            rows << row(date, "newuser", "New Title", day) << row(date, "alice", "Inbox - Mail", 10 + day);
        }
        SimNetworkWriter::writeAgentFile(agentPath(f, "WS1"), {"alice", "newuser"},
                                         {"Inbox - Mail", "New Title"}, rows);
        // WS2 comes after WS1 in the run and uses names that only WS1 brought in.
        SimNetworkWriter::writeAgentFile(
            agentPath(f, "WS2"), {"zed", "newuser"}, {"New Title"},
            {row("2024-03-01", "newuser", "New Title", 99), row("2024-03-01", "zed", "New Title", 98)});
        // Something stored before the run must survive it untouched.
        f.db().addUser("alice");

        {
            // The fourth usage row is refused, after three went in.
            f.refuse("INSERT", "MGRDaySummary", "(SELECT count(*) FROM MGRDaySummary) >= 3");
            WorkstationMerge merge(f.db());
            WorkstationDatabase ws1(agentPath(f, "WS1"));
            int steps = 0;
            QVERIFY_THROWS_EXCEPTION(VcError, merge.UpdateWorkstationInfo("WS1", ws1, [&] { ++steps; }));
            QCOMPARE(steps, 2);
            QCOMPARE(f.scalar("SELECT count(*) FROM MGRDaySummary"), 0);
            QCOMPARE(f.scalar("SELECT count(*) FROM MGRUsers"), 1);
            QCOMPARE(f.scalar("SELECT count(*) FROM MGRAppTitles"), 0);
            QCOMPARE(merge.LookupKey(WorkstationMerge::kUser, "newuser"), -1);

            // The run goes on: WS2 must add the names again rather than use keys that were rolled back.
            f.allow("INSERT", "MGRDaySummary");
            QCOMPARE(
                merge.UpdateWorkstationInfo("WS2", WorkstationDatabase(agentPath(f, "WS2"))).rowsImported, 2);
            QCOMPARE(f.usage(),
                     QStringList({"WS2|newuser|New Title|2024-03-01|99", "WS2|zed|New Title|2024-03-01|98"}));
        }

        // The next run imports all of WS1, exactly once.
        QCOMPARE(mergeOnce(f, "WS1").rowsImported, 10);
        QCOMPARE(f.scalar("SELECT count(*) FROM MGRDaySummary WHERE WorkstationKey = 1"), 10);
        QCOMPARE(f.scalar("SELECT count(*) FROM MGRDaySummary"), 12);
        QCOMPARE(f.scalar("SELECT count(*) FROM MGRUsers"), 3);
        QCOMPARE(mergeOnce(f, "WS1").rowsImported, 0);
    }

    void garbageRowsAreSkipped_data() {
        QTest::addColumn<QVariant>("date");
        QTest::addColumn<QVariant>("user");
        QTest::addColumn<QVariant>("title");
        QTest::addColumn<QVariant>("duration");

        const QVariant day = QStringLiteral("2024-03-01");
        const QVariant user = QStringLiteral("alice");
        const QVariant title = QStringLiteral("Inbox - Mail");
        const QVariant null = QVariant(QMetaType::fromType<QString>());
        QTest::newRow("date not a date") << QVariant("yesterday") << user << title << QVariant(60);
        QTest::newRow("date impossible") << QVariant("2024-02-30") << user << title << QVariant(60);
        QTest::newRow("date as a number") << QVariant(45352) << user << title << QVariant(60);
        QTest::newRow("date empty") << QVariant("") << user << title << QVariant(60);
        QTest::newRow("date null") << null << user << title << QVariant(60);
        QTest::newRow("user empty") << day << QVariant("") << title << QVariant(60);
        QTest::newRow("user null") << day << null << title << QVariant(60);
        QTest::newRow("title empty") << day << user << QVariant("") << QVariant(60);
        QTest::newRow("title null") << day << user << null << QVariant(60);
        QTest::newRow("duration text") << day << user << title << QVariant("an hour");
        QTest::newRow("duration negative") << day << user << title << QVariant(-5);
        QTest::newRow("duration negative real") << day << user << title << QVariant(-0.5);
        QTest::newRow("duration null") << day << user << title << null;
        QTest::newRow("duration beyond 32 bits") << day << user << title << QVariant(qint64(1) << 40);
        QTest::newRow("duration huge real") << day << user << title << QVariant(1e300);
    }

    void garbageRowsAreSkipped() {
        QFETCH(QVariant, date);
        QFETCH(QVariant, user);
        QFETCH(QVariant, title);
        QFETCH(QVariant, duration);

        ManagerFixture f;
        f.registerWorkstations({"WS1"});
        // An empty name in the name tables must not become a manager row either.
        SimNetworkWriter::writeAgentFile(agentPath(f, "WS1"), {"alice", ""}, {"Inbox - Mail", ""},
                                         {AgentRow{date, user, title, duration},
                                          row("2024-03-01", "alice", "Inbox - Mail", 0),
                                          row("2024-03-02", "alice", "Inbox - Mail", 7)});
        const auto result = mergeOnce(f, "WS1");
        QCOMPARE(result.rowsImported, 2);
        QCOMPARE(result.rowsSkipped, 1);
        QCOMPARE(f.usage(),
                 QStringList({"WS1|alice|Inbox - Mail|2024-03-01|0", "WS1|alice|Inbox - Mail|2024-03-02|7"}));
        QCOMPARE(f.scalar("SELECT count(*) FROM MGRUsers"), 1);
        QCOMPARE(f.scalar("SELECT count(*) FROM MGRAppTitles"), 1);
    }

    void unreadableTableFailsItsStepOnly() {
        ManagerFixture f;
        f.registerWorkstations({"WS1"});
        SimNetworkWriter::writeAgentFile(agentPath(f, "WS1"), {"alice"}, {"Inbox - Mail"},
                                         {row("2024-03-01", "alice", "Inbox - Mail", 5)});
        f.db().addAppTitle("Inbox - Mail");
        ManagerFixture::execute(agentPath(f, "WS1"), "DROP TABLE PCAppTitles");

        WorkstationMerge merge(f.db());
        int steps = 0;
        const auto result =
            merge.UpdateWorkstationInfo("WS1", WorkstationDatabase(agentPath(f, "WS1")), [&] { ++steps; });
        QCOMPARE(steps, 2);
        QCOMPARE(result.usersAdded, 1);
        QCOMPARE(result.rowsImported, 1);
    }

    void lookupKey() {
        ManagerFixture f;
        f.registerWorkstations({"WS1"});
        const int user = f.db().addUser("Alice");
        f.db().addUser("ALICE"); // stored by an older version: the first row is the one found
        const int title = f.db().addAppTitle("Inbox - Mail");
        WorkstationMerge merge(f.db());
        QCOMPARE(merge.LookupKey(WorkstationMerge::kWorkstation, "ws1"), 1);
        QCOMPARE(merge.LookupKey(WorkstationMerge::kUser, "alice"), user);
        QCOMPARE(merge.LookupKey(WorkstationMerge::kTitle, "INBOX - MAIL"), title);
        QCOMPARE(merge.LookupKey(WorkstationMerge::kTitle, "Inbox"), -1);
        QCOMPARE(merge.LookupKey(WorkstationMerge::kUser, ""), -1);
        QCOMPARE(merge.LookupKey(4, "WS1"), -1);
        QCOMPARE(merge.LookupKey(0, "WS1"), -1);
    }

    // A workstation with a wrong clock: its rows dated after today are skipped and counted, and
    // never move the newest day held, so its later days still come in.
    void rowsAfterTodayStayOut() {
        ManagerFixture f;
        f.registerWorkstations({"WS1"});
        SimNetworkWriter::writeAgentFile(agentPath(f, "WS1"), kUsers, kTitles,
                                         {row("2024-03-01", "alice", "Inbox - Mail", 60),
                                          row("2024-03-02", "alice", "Inbox - Mail", 30),
                                          row("2030-01-01", "bob", "Inbox - Mail", 90)});
        const auto mergeOn = [&f](QDate today) {
            WorkstationMerge merge(f.db());
            merge.setToday(today);
            return merge.UpdateWorkstationInfo("WS1", WorkstationDatabase(agentPath(f, "WS1")));
        };
        const auto first = mergeOn(QDate(2024, 3, 1));
        QCOMPARE(first.rowsImported, 1);
        QCOMPARE(first.rowsAfterToday, 2);
        QCOMPARE(first.rowsSkipped, 2);
        QCOMPARE(f.db().newestDay(1), std::optional<QDate>(QDate(2024, 3, 1)));
        // The next day, that day's rows come in; the far future still does not.
        const auto second = mergeOn(QDate(2024, 3, 2));
        QCOMPARE(second.rowsImported, 1);
        QCOMPARE(second.rowsAfterToday, 1);
        QCOMPARE(f.db().newestDay(1), std::optional<QDate>(QDate(2024, 3, 2)));
        // Days the site no longer keeps stay out: a machine whose usage retention deleted is not
        // brought back to be deleted again at every download.
        f.exec("DELETE FROM MGRDaySummary");
        WorkstationMerge merge(f.db());
        merge.setToday(QDate(2024, 3, 10));
        merge.setKeptFrom(QDate(2024, 3, 5));
        const auto kept = merge.UpdateWorkstationInfo("WS1", WorkstationDatabase(agentPath(f, "WS1")));
        QCOMPARE(kept.rowsImported, 0);
        QCOMPARE(f.db().newestDay(1), std::nullopt);
    }

    // Agent files whose name tables are far larger than their day rows (a fault campaign wrote one
    // with 300,000 users): every listed name is stored once, letter case aside, and the rows come
    // in exactly as the agent files alone say.
    void largeNameTables() {
        constexpr int kUsers = 300000;
        QStringList users;
        users.reserve(kUsers);
        for (int i = 0; i < kUsers; ++i)
            users << QStringLiteral("user.%1").arg(i);
        // The second machine lists a third of them again in another letter case, and new ones.
        QStringList others;
        for (int i = 0; i < kUsers; i += 3)
            others << QStringLiteral("USER.%1").arg(i);
        for (int i = 0; i < 1000; ++i)
            others << QStringLiteral("other.%1").arg(i);
        QStringList titles;
        for (int i = 0; i < 2000; ++i)
            titles << QStringLiteral("\"Doc %1\" - Editor").arg(i);

        QTemporaryDir dir;
        SimNetworkWriter writer(dir.filePath("net"));
        writer.writeNetwork("SIMNET", {"WS1", "WS2"});
        QList<AgentRow> rows1;
        QList<AgentRow> rows2;
        for (int i = 0; i < 3000; ++i) {
            const QString day = QDate(2024, 3, 1 + i % 5).toString(Qt::ISODate);
            rows1.append({day, users[(i * 7919) % kUsers], titles[i % titles.size()], i});
            // Names in the other letter case, and one the file does not list.
            rows2.append({day, i % 10 == 0 ? QStringLiteral("nobody") : others[i % others.size()].toLower(),
                          titles[(i * 13) % titles.size()].toUpper(), 2 * i});
        }
        writer.writeAgentDatabase("WS1", users, titles, rows1);
        writer.writeAgentDatabase("WS2", others, titles, rows2);
        const AgentOracle::Import expected = AgentOracle::expected(writer.dir(), {"WS1", "WS2"});

        ManagerFixture f;
        f.registerWorkstations({"WS1", "WS2"});
        SimNetwork network(writer.dir());
        WorkstationMerge merge(f.db());
        const DownloadSummary summary = downloadWorkstations(merge, network, {"WS1", "WS2"});
        QCOMPARE(summary.merged, 2);
        QCOMPARE(summary.rowsImported, expected.rows);
        QCOMPARE(f.scalar("SELECT count(*) FROM MGRUsers"), kUsers + 1000);
        QCOMPARE(f.scalar("SELECT count(*) FROM MGRAppTitles"), titles.size());
        QMap<QDate, QMap<QString, qint64>> seconds;
        for (const QVariantList& row :
             f.exec("SELECT s.Date, t.AppTitle, sum(s.Duration) FROM MGRDaySummary s "
                    "JOIN MGRAppTitles t ON t.AppTitleID = s.AppTitleKey "
                    "GROUP BY s.Date, t.AppTitle"))
            seconds[QDate::fromString(row[0].toString(), Qt::ISODate)][row[1].toString()] =
                row[2].toLongLong();
        QCOMPARE(seconds.size(), expected.seconds.size());
        for (auto day = expected.seconds.cbegin(); day != expected.seconds.cend(); ++day) {
            // The oracle keys a title by its spelling on the row; the store keeps the first one listed.
            QMap<QString, qint64> folded;
            for (auto t = day.value().cbegin(); t != day.value().cend(); ++t)
                folded[t.key().toCaseFolded()] += t.value();
            QMap<QString, qint64> stored;
            for (auto t = seconds[day.key()].cbegin(); t != seconds[day.key()].cend(); ++t)
                stored[t.key().toCaseFolded()] += t.value();
            QCOMPARE(stored, folded);
        }
    }
};

QTEST_GUILESS_MAIN(TstMerge)
#include "tst_merge.moc"
