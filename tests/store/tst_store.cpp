// Manager database installation and shared queries; reading agent databases.
#include "base/VcError.h"
#include "store/Dates.h"
#include "store/FileDatabase.h"
#include "store/ManagerDatabase.h"
#include "store/SchemaVersion.h"
#include "store/sqlite/SqliteManagerDatabase.h"
#include "store/SqlStatement.h"
#include "store/UsageScan.h"
#include "store/WorkstationDatabase.h"
#include "support/ManagerFixture.h"
#include "support/TestEnv.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QByteArray fileHash(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// Writes an agent-like database with the given statements.
void writeDatabase(const QString& path, const QStringList& statements) {
    FileDatabase db(path, FileDatabase::Access::Create);
    for (const QString& s : statements)
        db.exec(s);
}
} // namespace

class TstStore : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }
    void installationCreatesSchemaWithDesktop();
    void refusesFilesThatAreNotManagerDatabases_data();
    void refusesFilesThatAreNotManagerDatabases();
    void daysThroughTheIndex();
    void usageRowsOfARange();
    void workstationDatabaseReading();
    void workstationDatabaseMissingParts();
    void damagedWorkstationDatabaseNeverReadsShort();
    void damagedOrForeignTablesFailTheFile_data();
    void damagedOrForeignTablesFailTheFile();
    void dateTexts_data();
    void dateTexts();
};

void TstStore::installationCreatesSchemaWithDesktop() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Data/VCManager.mdb"));
    SqliteManagerDatabase db(path);
    QVERIFY(QFile::exists(path));
    const auto groupings = db.groupings();
    QCOMPARE(groupings.size(), 1);
    QCOMPARE(groupings[0].alias, QStringLiteral("Desktop"));
    QCOMPARE(groupings[0].rank, 0);
    QVERIFY(db.workstations().isEmpty());
    QVERIFY(db.users().isEmpty());
    QVERIFY(!db.newestDay().has_value());
    QVERIFY(db.distinctDays().isEmpty());
    QCOMPARE(db.schemaVersion(), kManagerSchemaVersion);
    // Counters are never reused.
    const int first = db.addUser(QStringLiteral("anna"));
    db.file().exec("DELETE FROM MGRUsers");
    QVERIFY(db.addUser(QStringLiteral("bob")) > first);
}

void TstStore::refusesFilesThatAreNotManagerDatabases_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("number");
    QTest::newRow("text file") << QByteArray("just some text, not a database at all\n")
                               << ErrorNumber::NotADatabase;
    QTest::newRow("database without the tables") << QByteArray() << ErrorNumber::DatabaseFailure;
}

void TstStore::refusesFilesThatAreNotManagerDatabases() {
    QFETCH(QByteArray, content);
    QFETCH(int, number);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("VCManager.mdb"));
    if (content.isEmpty()) {
        writeDatabase(path, {QStringLiteral("CREATE TABLE Other (x)")});
    } else {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    const QByteArray before = fileHash(path);
    try {
        ManagerDatabase::open(path);
        QFAIL("opened");
    } catch (const VcError& error) {
        QCOMPARE(error.number(), number);
        QVERIFY(!error.description().isEmpty());
    }
    QCOMPARE(fileHash(path), before);
}

void TstStore::daysThroughTheIndex() {
    QTemporaryDir dir;
    SqliteManagerDatabase db(dir.filePath(QStringLiteral("m.mdb")));
    SqlStatement insert(db.file(),
                        "INSERT INTO MGRDaySummary (UserNameKey, AppTitleKey, WorkstationKey, Duration, "
                        "Date) VALUES (1, 1, ?, 60, ?)");
    const auto add = [&insert](int ws, const auto& bindDate) {
        insert.bindInt64(1, ws);
        bindDate(insert);
        insert.run();
    };
    const auto text = [](const QString& day) { return [day](SqlStatement& q) { q.bindText(2, day); }; };
    const QList<QPair<int, QString>> rows = {{1, QStringLiteral("2024-03-02")},
                                             {1, QStringLiteral("2024-02-28")},
                                             {2, QStringLiteral("2024-03-05")},
                                             {2, QStringLiteral("2024-03-02")},
                                             {1, QStringLiteral("2024-02-28")}};
    for (const auto& [ws, day] : rows)
        add(ws, text(day));
    QCOMPARE(db.distinctDays(), (QList<QDate>{QDate(2024, 2, 28), QDate(2024, 3, 2), QDate(2024, 3, 5)}));
    QCOMPARE(db.newestDay(1), std::optional<QDate>(QDate(2024, 3, 2)));
    QCOMPARE(db.newestDay(2), std::optional<QDate>(QDate(2024, 3, 5)));
    QVERIFY(!db.newestDay(3).has_value());
    QCOMPARE(db.newestDay(), std::optional<QDate>(QDate(2024, 3, 5)));
    // Values no console writes must not stall the walk (it hung on these at every start), text
    // that is no UTF-8 (read back and bound again as UTF-16, it sorted before itself) included.
    add(1, text(QString(QStringLiteral("2024-03-02")) + QChar(0x100)));
    add(1, text(QStringLiteral("2024-03-05 23:59:59")));
    add(1, [](SqlStatement& q) { q.bindBlob(2, QByteArray("2024-03-09")); });
    add(1, [](SqlStatement& q) { q.bindInt64(2, 20240310); });
    add(1, text(QStringLiteral("not a day")));
    add(1, text(QStringLiteral("2024-03-07\xff")));
    add(1, [](SqlStatement& q) { q.bindText(2, QByteArray("not\xff a day")); });
    QCOMPARE(db.distinctDays(), (QList<QDate>{QDate(2024, 2, 28), QDate(2024, 3, 2), QDate(2024, 3, 5)}));
}

void TstStore::usageRowsOfARange() {
    ManagerFixture f;
    f.addUsage("WS1", "O'Brien", "Inbox - Mail", QDate(2024, 1, 1), 90);
    f.addUsage("WS1", "O'Brien", "Inbox - Mail", QDate(2024, 1, 3), 80);
    f.addUsage("WS1", "O'Brien", "Inbox - Mail", QDate(2024, 1, 2), 70);
    f.addUsage("WS1", "O'Brien", "Inbox - Mail", QDate(2024, 1, 4), 60);
    const std::unique_ptr<UsageScan> scan = f.db().openUsageScan(QDate(2024, 1, 2), QDate(2024, 1, 3));
    QStringList seen;
    UsageScan::Row row;
    while (scan->next(row))
        seen << QString::fromUtf8(row.date) + QLatin1Char(' ') + QString::number(row.seconds);
    QCOMPARE(seen, (QStringList{"2024-01-02 70", "2024-01-03 80"}));
    QStringList users;
    scan->users([&](qint64 key, const QString& name) { users << QString::number(key) + name; });
    QCOMPARE(users, QStringList{"1O'Brien"});
    QCOMPARE(scan->title(1), std::optional<QString>(QStringLiteral("Inbox - Mail")));
    QVERIFY(!scan->title(2).has_value());
}

void TstStore::workstationDatabaseReading() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("VCWorkstation.mdb"));
    // Extra fields are ignored; dates may carry a time of day.
    writeDatabase(path, {QStringLiteral("CREATE TABLE PCUsers (ID INTEGER, UserName TEXT, Extra TEXT)"),
                         QStringLiteral("CREATE TABLE PCAppTitles (AppTitle TEXT, Seen INTEGER)"),
                         QStringLiteral("CREATE TABLE PCDaySummary (Date TEXT, UserName TEXT, AppTitle TEXT, "
                                        "Duration INTEGER, Machine TEXT)"),
                         QStringLiteral("INSERT INTO PCUsers VALUES (1, 'anna', 'x')"),
                         QStringLiteral("INSERT INTO PCAppTitles VALUES ('\"Plan\" - Writer', 1)"),
                         QStringLiteral("INSERT INTO PCDaySummary VALUES ('2024-05-06 13:45:00', 'anna', "
                                        "'\"Plan\" - Writer', 300, 'WS')")});
    WorkstationDatabase ws(path);
    QCOMPARE(ws.userNames(), std::optional<QStringList>(QStringList{QStringLiteral("anna")}));
    QCOMPARE(ws.appTitles(), std::optional<QStringList>(QStringList{QStringLiteral("\"Plan\" - Writer")}));
    int rows = 0;
    QVERIFY(ws.forEachDayRow([&](const WorkstationDatabase::DayRow& row) {
        ++rows;
        QCOMPARE(Dates::fromStored(row.date.toString()), QDate(2024, 5, 6));
        QCOMPARE(row.duration.toInt(), 300);
    }));
    QCOMPARE(rows, 1);
}

void TstStore::workstationDatabaseMissingParts() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("VCWorkstation.mdb"));
    writeDatabase(path, {QStringLiteral("CREATE TABLE PCUsers (Name TEXT)"),
                         QStringLiteral("CREATE TABLE PCAppTitles (AppTitle TEXT)")});
    WorkstationDatabase ws(path);
    QVERIFY(!ws.userNames().has_value()); // field missing: that step fails alone
    QCOMPARE(ws.appTitles(), std::optional<QStringList>(QStringList{}));
    QVERIFY(!ws.forEachDayRow([](const auto&) {})); // table missing

    const QString notThere = dir.filePath(QStringLiteral("missing.mdb"));
    QVERIFY_THROWS_EXCEPTION(VcError, WorkstationDatabase{notThere});
    QVERIFY(!QFile::exists(notThere));
    const QString text = dir.filePath(QStringLiteral("text.mdb"));
    QFile f(text);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("hello, this is no database; hello, this is no database");
    f.close();
    QVERIFY_THROWS_EXCEPTION(VcError, WorkstationDatabase{text});

    // The agent's own schema is readable.
    const QString created = dir.filePath(QStringLiteral("agent.mdb"));
    createWorkstationDatabase(created);
    WorkstationDatabase agent(created);
    QCOMPARE(agent.userNames(), std::optional<QStringList>(QStringList{}));
    QVERIFY(agent.forEachDayRow([](const auto&) {}));
}

void TstStore::damagedWorkstationDatabaseNeverReadsShort() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("VCWorkstation.mdb"));
    createWorkstationDatabase(path);
    {
        QStringList statements{QStringLiteral("BEGIN")};
        for (int i = 0; i < 4000; ++i)
            statements << QStringLiteral("INSERT INTO PCDaySummary VALUES ('2024-01-%1', 'user%2', "
                                         "'A rather long window title to fill the pages %3', %4)")
                              .arg(1 + i % 28, 2, 10, QLatin1Char('0'))
                              .arg(i % 7)
                              .arg(i)
                              .arg(i);
        statements << QStringLiteral("COMMIT");
        writeDatabase(path, statements);
    }
    // Damage a page in the middle: the file opens and the first rows read, then the read fails.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    const qint64 pages = file.size() / 4096;
    QVERIFY(pages > 8);
    QVERIFY(file.seek(pages / 2 * 4096));
    QVERIFY(file.write(QByteArray(4096, '\xff')) == 4096);
    file.close();
    int rows = 0;
    bool complete = false;
    try {
        WorkstationDatabase ws(path);
        complete = ws.forEachDayRow([&](const auto&) { ++rows; });
    } catch (const VcError&) {
        complete = false;
    }
    QVERIFY(rows > 0);
    QVERIFY(!complete);
}

// A damaged table, or something else under a table's name, is no missing table: the read fails,
// so the merge fails the workstation whole instead of importing part of a day.
void TstStore::damagedOrForeignTablesFailTheFile_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<bool>("replaceByView");
    for (const char* table : {"PCUsers", "PCAppTitles", "PCDaySummary"}) {
        QTest::addRow("%s root page damaged", table) << QString::fromLatin1(table) << false;
        QTest::addRow("%s is a view", table) << QString::fromLatin1(table) << true;
    }
}

void TstStore::damagedOrForeignTablesFailTheFile() {
    QFETCH(QString, table);
    QFETCH(bool, replaceByView);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("VCWorkstation.mdb"));
    createWorkstationDatabase(path);
    writeDatabase(path,
                  {QStringLiteral("INSERT INTO PCUsers (UserName) VALUES ('alice')"),
                   QStringLiteral("INSERT INTO PCAppTitles (AppTitle) VALUES ('Inbox')"),
                   QStringLiteral("INSERT INTO PCDaySummary VALUES ('2024-03-01', 'alice', 'Inbox', 60)")});
    if (replaceByView) {
        // A recursive view: read through, it would never end.
        writeDatabase(path, {QStringLiteral("DROP TABLE %1").arg(table),
                             QStringLiteral("CREATE VIEW %1 AS WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL "
                                            "SELECT x + 1 FROM n) SELECT 'a' AS UserName, 'a' AS AppTitle, "
                                            "'2024-03-01' AS Date, x AS Duration FROM n")
                                 .arg(table)});
    } else {
        qint64 root = 0;
        {
            FileDatabase db(path, FileDatabase::Access::ReadOnly);
            SqlStatement q(db, "SELECT rootpage FROM sqlite_master WHERE name = ?");
            q.bindText(1, table);
            QVERIFY(q.step());
            root = q.int64(0);
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.seek((root - 1) * 4096));
        QVERIFY(file.write(QByteArray(64, '\xee')) == 64); // no valid page type
    }
    WorkstationDatabase ws(path);
    const auto read = [&ws, &table] {
        if (table == QLatin1String("PCUsers"))
            return ws.userNames().has_value();
        if (table == QLatin1String("PCAppTitles"))
            return ws.appTitles().has_value();
        return ws.forEachDayRow([](const auto&) {});
    };
    QVERIFY_THROWS_EXCEPTION(VcError, read());
}

void TstStore::dateTexts_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QDate>("day");
    QTest::newRow("plain") << "2024-02-29" << QDate(2024, 2, 29);
    QTest::newRow("time of day") << "2024-02-29 23:59:59" << QDate(2024, 2, 29);
    QTest::newRow("iso T") << "2024-02-29T08:00:00" << QDate(2024, 2, 29);
    QTest::newRow("not a day") << "2024-02-30" << QDate();
    QTest::newRow("garbage") << "yesterday" << QDate();
    QTest::newRow("trailing junk") << "2024-02-29x" << QDate();
}

void TstStore::dateTexts() {
    QFETCH(QString, stored);
    QFETCH(QDate, day);
    QCOMPARE(Dates::fromStored(stored), day);
    if (day.isValid()) {
        QCOMPARE(Dates::toStored(day), stored.left(10));
        QCOMPARE(Dates::shortText(day), QStringLiteral("2/29/2024"));
        QCOMPARE(Dates::fromShortText(Dates::shortText(day)), day);
        QCOMPARE(Dates::longText(day), QStringLiteral("Thursday, February 29, 2024"));
    }
}

QTEST_GUILESS_MAIN(TstStore)
#include "tst_store.moc"
