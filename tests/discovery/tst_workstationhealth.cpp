// Workstation health rows: after a real download over a simulated network, the days-behind
// rule and its mark, the sort order, service states and damaged download records.
#include "collect/DataDownload.h"
#include "collect/WorkstationMerge.h"
#include "discovery/WorkstationHealth.h"
#include "network/SimNetwork.h"
#include "store/Dates.h"
#include "store/FileDatabase.h"
#include "store/WorkstationDatabase.h"
#include "support/ManagerFixture.h"
#include "support/SimNetworkWriter.h"
#include "support/TestEnv.h"

#include <climits>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QString cell(const WorkstationHealth& model, int row, int column) {
    return model.data(model.index(row, column)).toString();
}

QStringList columnTexts(const WorkstationHealth& model, int column) {
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts.append(cell(model, row, column));
    return texts;
}
} // namespace

class TstWorkstationHealth : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }
    void rowsAfterADownload_data();
    void rowsAfterADownload();
    void daysBehindAndMark_data();
    void daysBehindAndMark();
    void sortsByColumn_data();
    void sortsByColumn();
    void serviceStatesIgnoreLetterCase();
    void damagedRecordsAreShownAsSuch();
    void agentVersions_data();
    void agentVersions();
    void agentVersionsSortByNumber();
};

void TstWorkstationHealth::rowsAfterADownload_data() {
    QTest::addColumn<QString>("name");      // WS6 alone is not monitored
    QTest::addColumn<int>("newestDaysAgo"); // -1: no day held
    QTest::addColumn<int>("daysBehind");    // -1: "No data"
    QTest::addColumn<QString>("result");    // the result text starts so
    QTest::addColumn<bool>("marked");
    QTest::newRow("read, up to yesterday") << "WS1" << 1 << 0 << "Merged 2 rows" << false;
    // The machine answered: it lacks the share, which is what the page says.
    QTest::newRow("no share") << "WS2" << -1 << -1
                              << "Could not be read: the machine has no share Vellumcrest$" << true;
    QTest::newRow("damaged file") << "WS3" << -1 << -1 << "Could not be read: " << true;
    QTest::newRow("read, ten days old") << "WS4" << 10 << 9 << "Merged 1 row" << true;
    QTest::newRow("at the limit, not beyond") << "WS5" << 4 << 3 << "Merged 1 row" << false;
    QTest::newRow("not monitored, never read") << "WS6" << -1 << -1 << "Never attempted" << false;
}

void TstWorkstationHealth::rowsAfterADownload() {
    QFETCH(QString, name);
    QFETCH(int, newestDaysAgo);
    QFETCH(int, daysBehind);
    QFETCH(QString, result);
    QFETCH(bool, marked);

    const QDate today = QDate::currentDate();
    auto day = [&](int ago) { return Dates::toStored(today.addDays(-ago)); };
    const QStringList machines{"WS1", "WS2", "WS3", "WS4", "WS5", "WS6"};
    QTemporaryDir dir;
    SimNetworkWriter writer(dir.filePath("net"));
    writer.writeNetwork("SIMNET", machines);
    for (const QString& ws : machines)
        writer.writeAgentService(ws);
    writer.writeAgentDatabase("WS1", {"alice"}, {"Inbox - Mail"},
                              {{day(2), "alice", "Inbox - Mail", 60}, {day(1), "alice", "Inbox - Mail", 30}});
    // WS2 publishes no share at all; WS3 a file that is no database.
    writer.writeAgentDatabase("WS3", {}, {}, {});
    {
        QFile damaged(writer.agentDatabasePath("WS3"));
        QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
        damaged.write(QByteArray(8192, 'x'));
    }
    writer.writeAgentDatabase("WS4", {"bob"}, {"Notes"}, {{day(10), "bob", "Notes", 5}});
    writer.writeAgentDatabase("WS5", {"bob"}, {"Notes"}, {{day(4), "bob", "Notes", 5}});
    writer.writeAgentDatabase("WS6", {"bob"}, {"Notes"}, {{day(1), "bob", "Notes", 5}});
    SimNetwork network(writer.dir());
    ManagerFixture f;
    f.registerWorkstations(machines);
    f.exec("UPDATE MGRWorkstations SET Monitored = 0 WHERE Name = 'WS6'");
    // The same machine registered again in another letter case stays one row.
    f.exec("INSERT INTO MGRWorkstations (Name, Monitored) VALUES ('ws1', 0)");
    {
        WorkstationMerge merge(f.db());
        downloadWorkstations(merge, network, {"WS1", "WS2", "WS3", "WS4", "WS5"});
    }

    WorkstationHealth model;
    model.setDaysBehindLimit(3);
    model.load(f.db(), today);
    QCOMPARE(columnTexts(model, WorkstationHealth::Name), machines);
    const int r = int(machines.indexOf(name));
    QCOMPARE(cell(model, r, WorkstationHealth::Monitored), QString(name == "WS6" ? "No" : "Yes"));
    QCOMPARE(model.rows()[r].newestDay,
             newestDaysAgo < 0 ? std::nullopt : std::optional(today.addDays(-newestDaysAgo)));
    QCOMPARE(cell(model, r, WorkstationHealth::DaysBehind),
             daysBehind < 0 ? QString("No data") : QString::number(daysBehind));
    const QString resultText = cell(model, r, WorkstationHealth::Result);
    QVERIFY2(resultText.startsWith(result), qPrintable(resultText));
    QCOMPARE(model.data(model.index(r, WorkstationHealth::Service), WorkstationHealth::MarkedRole).toBool(),
             marked);
    QCOMPARE(model.markedNames().contains(name), marked);
    QCOMPARE(cell(model, r, WorkstationHealth::LastAttempt) == "Never", name == "WS6");
    if (name == "WS3")
        QVERIFY2(resultText.contains("not a database"), qPrintable(resultText));
}

void TstWorkstationHealth::daysBehindAndMark_data() {
    QTest::addColumn<int>("newestDaysAgo"); // INT_MIN: no day held
    QTest::addColumn<bool>("monitored");
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("daysBehind"); // -1: unknown
    QTest::addColumn<bool>("marked");
    QTest::newRow("yesterday is up to date") << 1 << true << 0 << 0 << false;
    QTest::newRow("today's partial day counts as up to date") << 0 << true << 0 << 0 << false;
    QTest::newRow("a day from a fast clock is not negative") << -3 << true << 0 << 0 << false;
    QTest::newRow("two days ago: one behind") << 2 << true << 0 << 1 << true;
    QTest::newRow("exactly at the limit") << 4 << true << 3 << 3 << false;
    QTest::newRow("one past the limit") << 5 << true << 3 << 4 << true;
    QTest::newRow("monitored, nothing held") << INT_MIN << true << 3 << -1 << true;
    QTest::newRow("not monitored, nothing held") << INT_MIN << false << 3 << -1 << false;
    QTest::newRow("not monitored, far behind") << 400 << false << 3 << 399 << false;
}

void TstWorkstationHealth::daysBehindAndMark() {
    QFETCH(int, newestDaysAgo);
    QFETCH(bool, monitored);
    QFETCH(int, limit);
    QFETCH(int, daysBehind);
    QFETCH(bool, marked);
    const QDate today(2024, 3, 1); // the day after a leap day
    const std::optional<QDate> newest =
        newestDaysAgo == INT_MIN ? std::nullopt : std::optional(today.addDays(-newestDaysAgo));
    const std::optional<int> behind = WorkstationHealth::daysBehind(newest, today);
    QCOMPARE(behind.value_or(-1), daysBehind);
    QCOMPARE(WorkstationHealth::isMarked(monitored, behind, limit), marked);
}

void TstWorkstationHealth::sortsByColumn_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("order");
    QTest::addColumn<QStringList>("names");
    // alpha: 1 day behind; Beta: no day; gamma: 6 behind; delta: 6 behind, never attempted.
    QTest::newRow("name, letter case aside") << int(WorkstationHealth::Name) << int(Qt::AscendingOrder)
                                             << QStringList{"alpha", "Beta", "delta", "gamma"};
    QTest::newRow("name, descending") << int(WorkstationHealth::Name) << int(Qt::DescendingOrder)
                                      << QStringList{"gamma", "delta", "Beta", "alpha"};
    QTest::newRow("most behind first, nothing held counts as oldest")
        << int(WorkstationHealth::DaysBehind) << int(Qt::DescendingOrder)
        << QStringList{"Beta", "delta", "gamma", "alpha"};
    QTest::newRow("newest day, oldest first") << int(WorkstationHealth::NewestDay) << int(Qt::AscendingOrder)
                                              << QStringList{"Beta", "delta", "gamma", "alpha"};
    QTest::newRow("last attempt, never first")
        << int(WorkstationHealth::LastAttempt) << int(Qt::AscendingOrder)
        << QStringList{"delta", "Beta", "gamma", "alpha"};
}

void TstWorkstationHealth::sortsByColumn() {
    QFETCH(int, column);
    QFETCH(int, order);
    QFETCH(QStringList, names);
    const QDate today(2024, 6, 10);
    ManagerFixture f;
    f.registerWorkstations({"gamma", "Beta", "alpha", "delta"});
    f.addUsage("alpha", "anna", "Notes", today.addDays(-2), 60);
    f.addUsage("gamma", "anna", "Notes", today.addDays(-7), 60);
    f.addUsage("delta", "anna", "Notes", today.addDays(-7), 60);
    ManagerDatabase::DownloadStatus status;
    for (const auto& [id, secs] : {std::pair{1, 100}, std::pair{2, 50}, std::pair{3, 300}}) {
        status.attemptTime = QDateTime(today, QTime(8, 0), Qt::UTC).addSecs(secs);
        f.db().recordDownload(id, status);
    }

    WorkstationHealth model;
    model.load(f.db(), today);
    model.sort(column, Qt::SortOrder(order));
    QCOMPARE(columnTexts(model, WorkstationHealth::Name), names);
    // A reload keeps the chosen order.
    model.load(f.db(), today);
    QCOMPARE(columnTexts(model, WorkstationHealth::Name), names);
}

void TstWorkstationHealth::serviceStatesIgnoreLetterCase() {
    ManagerFixture f;
    f.registerWorkstations({"WS1", "WS2", "WS3"});
    WorkstationHealth model;
    // A check made before the rows were read still counts.
    model.setServiceState("ws1", 4);
    model.load(f.db(), QDate(2024, 3, 1));
    model.setServiceState("Ws2", WorkstationHealth::kNotReached);
    QCOMPARE(columnTexts(model, WorkstationHealth::Service),
             (QStringList{"Running normally", "Not reached", "Not checked"}));
    model.setServiceState("WS3", 0);
    model.setServiceState("WS1", 1);
    model.load(f.db(), QDate(2024, 3, 1));
    QCOMPARE(columnTexts(model, WorkstationHealth::Service),
             (QStringList{"Stopped", "Not reached", "Not installed"}));
}

void TstWorkstationHealth::damagedRecordsAreShownAsSuch() {
    ManagerFixture f;
    f.registerWorkstations({"WS1", "WS2", "WS3"});
    f.exec("INSERT INTO MGRDownloadStatus (WorkstationKey, AttemptTime, Result, RowsMerged) "
           "VALUES (1, 'yesterday-ish', 0, 3)");
    f.exec("INSERT INTO MGRDownloadStatus (WorkstationKey, AttemptTime, Result, Reason) "
           "VALUES (2, '2024-03-01T08:00:00Z', 7, NULL)");
    f.exec("INSERT INTO MGRDownloadStatus (WorkstationKey, AttemptTime, Result, Reason) "
           "VALUES (3, '2024-03-01T08:00:00Z', 2, ?)",
           {QString("line one\nline two")});
    WorkstationHealth model;
    model.load(f.db(), QDate(2024, 3, 2));
    QCOMPARE(cell(model, 0, WorkstationHealth::LastAttempt), QString("Never"));
    QCOMPARE(cell(model, 0, WorkstationHealth::Result), QString("Merged 3 rows"));
    QCOMPARE(cell(model, 1, WorkstationHealth::Result), QString("Unknown result 7"));
    // A reason over several lines stays on the row's one line.
    QCOMPARE(cell(model, 2, WorkstationHealth::Result), QString("Could not be read: line one line two"));
}

// The version the agent writes into its file's PCAgentInfo table; files without it (older
// agents, the simulator) and unsound values read as before, the version shown as unknown.
void TstWorkstationHealth::agentVersions_data() {
    QTest::addColumn<QString>("extra"); // SQL run on the agent file
    QTest::addColumn<QString>("shown");
    QTest::newRow("no table") << QString() << "Unknown";
    QTest::newRow("version, and a table the console does not know")
        << "CREATE TABLE PCAgentInfo (Name TEXT PRIMARY KEY, Value TEXT);"
           "INSERT INTO PCAgentInfo VALUES ('PublishDays', '35'), ('AgentVersion', '1.2.3');"
           "CREATE TABLE PCFutureThing (x)"
        << "1.2.3";
    QTest::newRow("not text") << "CREATE TABLE PCAgentInfo (Name, Value);"
                                 "INSERT INTO PCAgentInfo VALUES ('AgentVersion', X'0102')"
                              << "Unknown";
    QTest::newRow("too long") << "CREATE TABLE PCAgentInfo (Name, Value);"
                                 "INSERT INTO PCAgentInfo VALUES ('AgentVersion', printf('%.40c', '1'))"
                              << "Unknown";
    QTest::newRow("markup") << "CREATE TABLE PCAgentInfo (Name, Value);"
                               "INSERT INTO PCAgentInfo VALUES ('AgentVersion', '<b>1</b>')"
                            << "Unknown";
    QTest::newRow("a view") << "CREATE VIEW PCAgentInfo AS SELECT 'AgentVersion' AS Name, '9.9' AS Value"
                            << "Unknown";
    QTest::newRow("other columns") << "CREATE TABLE PCAgentInfo (Key, Text);"
                                      "INSERT INTO PCAgentInfo VALUES ('AgentVersion', '1.0')"
                                   << "Unknown";
}

void TstWorkstationHealth::agentVersions() {
    QFETCH(QString, extra);
    QFETCH(QString, shown);
    ManagerFixture f;
    f.registerWorkstations({"WS1"});
    // A version seen before is forgotten when the next file names none.
    f.db().recordAgentVersion(1, "0.9");
    const QString file = f.filePath("WS1.mdb");
    SimNetworkWriter::writeAgentFile(file, {"alice"}, {"Mail"}, {{"2024-03-01", "alice", "Mail", 60}});
    if (!extra.isEmpty())
        FileDatabase(file, FileDatabase::Access::ReadWrite).exec(extra);
    QCOMPARE(WorkstationMerge(f.db()).UpdateWorkstationInfo("WS1", WorkstationDatabase(file)).rowsImported,
             1);
    WorkstationHealth model;
    model.load(f.db(), QDate(2024, 3, 2));
    QCOMPARE(cell(model, 0, WorkstationHealth::AgentVersion), shown);
    QCOMPARE(cell(model, 0, WorkstationHealth::Result), QString("Merged 1 row"));
}

void TstWorkstationHealth::agentVersionsSortByNumber() {
    ManagerFixture f;
    f.registerWorkstations({"WS1", "WS2", "WS3", "WS4"});
    f.db().recordAgentVersion(1, "1.10.0");
    f.db().recordAgentVersion(2, "1.9.2");
    f.db().recordAgentVersion(4, "1.9.2-rc1");
    WorkstationHealth model;
    model.load(f.db(), QDate(2024, 3, 2));
    model.sort(WorkstationHealth::AgentVersion, Qt::AscendingOrder);
    QCOMPARE(columnTexts(model, WorkstationHealth::Name), (QStringList{"WS3", "WS2", "WS4", "WS1"}));
}

QTEST_GUILESS_MAIN(TstWorkstationHealth)
#include "tst_workstationhealth.moc"
