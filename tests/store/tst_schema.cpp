// Schema versions of the manager database: older files are migrated whole, newer ones refused.
#include "base/VcError.h"
#include "store/FileDatabase.h"
#include "store/ManagerDatabase.h"
#include "store/sqlite/schema.h"
#include "store/sqlite/SqliteSchema.h"
#include "store/SqlStatement.h"
#include "support/TestEnv.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A file of the first schema with some usage, as a long-used installation holds it.
void writeVersion1(const QString& path, int userVersion, const QByteArray& extra = QByteArray()) {
    FileDatabase db(path, FileDatabase::Access::Create);
    db.exec(kManagerSchemaSql); // the first version, as installed then
    db.exec("INSERT INTO MGRWorkstations (Name, Monitored) VALUES ('WS1', 1), ('WS2', 0);"
            "INSERT INTO MGRUsers (UserName) VALUES ('anna');"
            "INSERT INTO MGRAppTitles (AppTitle) VALUES ('Inbox - Mail');"
            "INSERT INTO MGRDaySummary VALUES (1, 1, 1, 600, '2024-03-01'), (1, 1, 2, 60, '2024-03-04');"
            "INSERT INTO MGRGroupings (Alias, Rank) VALUES ('Mail', 1);"
            "INSERT INTO MGRGroupingsData (AliasKey, WindowTitle) VALUES ('Mail', 'Inbox');");
    db.exec(("PRAGMA user_version = " + QByteArray::number(userVersion)).constData());
    if (!extra.isEmpty())
        db.exec(extra.constData());
}

QByteArray fileHash(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

int userVersion(const QString& path) {
    FileDatabase db(path, FileDatabase::Access::Create);
    SqlStatement version(db, "PRAGMA user_version");
    return version.step() ? int(version.int64(0)) : -1;
}
} // namespace

class TstSchema : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }
    void olderFileIsMigratedWithItsData_data();
    void olderFileIsMigratedWithItsData();
    void newerFileIsRefusedUntouched();
    void failedMigrationLeavesTheFileAsItWas();
    void stepsRunInOrderAsOneUnit_data();
    void stepsRunInOrderAsOneUnit();
};

void TstSchema::olderFileIsMigratedWithItsData_data() {
    QTest::addColumn<int>("version");
    QTest::newRow("version 1") << 1;
    QTest::newRow("written before versions were recorded") << 0;
}

void TstSchema::olderFileIsMigratedWithItsData() {
    QFETCH(int, version);
    QTemporaryDir dir;
    const QString path = dir.filePath("VCManager.mdb");
    writeVersion1(path, version);
    {
        const auto opened = ManagerDatabase::open(path);
        ManagerDatabase& db = *opened;
        QCOMPARE(db.schemaVersion(), kManagerSchemaVersion);
        const auto workstations = db.workstations();
        QCOMPARE(workstations.size(), 2);
        QCOMPARE(workstations[0].name, QStringLiteral("WS1"));
        QVERIFY(workstations[0].monitored);
        QCOMPARE(db.users().size(), 1);
        QCOMPARE(db.newestDay(1), std::optional<QDate>(QDate(2024, 3, 1)));
        QCOMPARE(db.distinctDays(), (QList<QDate>{QDate(2024, 3, 1), QDate(2024, 3, 4)}));
        QCOMPARE(db.groupings().size(), 2);
        QCOMPARE(db.groupingTitles().size(), 1);
        // The new table works: the download can record into it at once.
        QVERIFY(!db.downloadStatus(1).has_value());
        db.recordDownload(1, {QDateTime(QDate(2024, 3, 5), QTime(8, 0), Qt::UTC),
                              ManagerDatabase::DownloadStatus::Result::Merged,
                              4,
                              {},
                              QDate(2024, 3, 4)});
        QCOMPARE(db.downloadStatus(1)->rowsMerged, 4);
    }
    QCOMPARE(userVersion(path), kManagerSchemaVersion);
}

void TstSchema::newerFileIsRefusedUntouched() {
    QTemporaryDir dir;
    const QString path = dir.filePath("VCManager.mdb");
    ManagerDatabase::create(path);
    {
        FileDatabase db(path, FileDatabase::Access::Create);
        // As a newer program would leave it: another table, its own version, write-ahead log on.
        db.exec(("CREATE TABLE MGRFuture (x); PRAGMA journal_mode = WAL; "
                 "PRAGMA user_version = " +
                 QByteArray::number(kManagerSchemaVersion + 1))
                    .constData());
    }
    const QByteArray before = fileHash(path);
    QVERIFY(!before.isEmpty());
    try {
        ManagerDatabase::open(path);
        QFAIL("opened");
    } catch (const VcError& error) {
        QVERIFY2(error.description().contains("newer version"), qPrintable(error.description()));
        QVERIFY2(error.description().contains(path), qPrintable(error.description()));
    }
    QCOMPARE(fileHash(path), before);
    QCOMPARE(userVersion(path), kManagerSchemaVersion + 1);
}

void TstSchema::failedMigrationLeavesTheFileAsItWas() {
    QTemporaryDir dir;
    const QString path = dir.filePath("VCManager.mdb");
    // Someone's own table in the way of the one the migration adds.
    writeVersion1(
        path, 1, "CREATE TABLE MGRDownloadStatus (Note TEXT); INSERT INTO MGRDownloadStatus VALUES ('mine')");
    const QByteArray before = fileHash(path);
    try {
        ManagerDatabase::open(path);
        QFAIL("opened");
    } catch (const VcError& error) {
        QVERIFY2(error.description().contains("MGRDownloadStatus"), qPrintable(error.description()));
    }
    QCOMPARE(fileHash(path), before);
    QCOMPARE(userVersion(path), 1);
}

void TstSchema::stepsRunInOrderAsOneUnit_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<bool>("lastFails");
    QTest::addColumn<int>("version");
    QTest::addColumn<QStringList>("log");
    QTest::newRow("all steps in order") << 1 << false << 4 << QStringList{"2", "3", "4"};
    QTest::newRow("steps already taken are skipped") << 2 << false << 4 << QStringList{"3", "4"};
    QTest::newRow("nothing to do") << 4 << false << 4 << QStringList{};
    QTest::newRow("a failing step undoes the earlier ones") << 1 << true << 1 << QStringList{};
}

void TstSchema::stepsRunInOrderAsOneUnit() {
    QFETCH(int, from);
    QFETCH(bool, lastFails);
    QFETCH(int, version);
    QFETCH(QStringList, log);
    QTemporaryDir dir;
    FileDatabase db(dir.filePath("steps.db"), FileDatabase::Access::Create);
    // The version is read inside the unit: what is recorded there decides, as when another
    // program took the steps a moment before.
    db.exec(("CREATE TABLE Log (Step TEXT); PRAGMA user_version = " + QByteArray::number(from)).constData());
    const SchemaStep steps[] = {
        {2, "INSERT INTO Log VALUES ('2')"},
        {3, "INSERT INTO Log VALUES ('3')"},
        {4, lastFails ? "INSERT INTO Log VALUES ('4'); INSERT INTO Missing VALUES (1)"
                      : "INSERT INTO Log VALUES ('4')"},
    };
    try {
        SqliteSchema::migrate(db, 1, steps);
        QVERIFY(!lastFails);
    } catch (const VcError& error) {
        QVERIFY(lastFails);
        QVERIFY2(error.description().contains("version 4"), qPrintable(error.description()));
    }
    QStringList seen;
    SqlStatement rows(db, "SELECT Step FROM Log ORDER BY rowid");
    while (rows.step())
        seen << rows.text(0);
    QCOMPARE(seen, log);
    SqlStatement current(db, "PRAGMA user_version");
    QVERIFY(current.step());
    QCOMPARE(int(current.int64(0)), version);
}

QTEST_GUILESS_MAIN(TstSchema)
#include "tst_schema.moc"
