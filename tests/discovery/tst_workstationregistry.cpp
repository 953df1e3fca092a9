// Registry writes: one unit per scan, first row of a name wins, names in any letter case.
#include "base/VcError.h"
#include "discovery/WorkstationRegistry.h"
#include "support/ManagerFixture.h"
#include "support/TestEnv.h"

#include <QTemporaryDir>
#include <QtTest>

class TstWorkstationRegistry : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }
    void updateAddsAndChanges();
    void failedUpdateChangesNothing();
    void setMonitoredByName();

private:
    static QStringList rows(ManagerDatabase& db) {
        QStringList list;
        for (const auto& row : db.workstations())
            list << QString("%1%2:%3").arg(row.monitored ? "+" : "-", row.name).arg(row.id);
        return list;
    }
};

void TstWorkstationRegistry::updateAddsAndChanges() {
    ManagerFixture f;
    ManagerDatabase& db = f.db();
    f.exec("INSERT INTO MGRWorkstations (Name, Monitored) VALUES ('A', 0), ('a', 0), ('B', 1)");
    WorkstationRegistry registry(db);
    registry.update({{"a", true}, {"C", true}, {"B", false}, {"D", false}, {"c", false}});
    // "a" is the first row of A; "c" finds the C added by the same scan.
    QCOMPARE(rows(db), (QStringList{"+A:1", "-a:2", "-B:3", "-C:4", "-D:5"}));
    QCOMPARE(registry.monitoredNames(), QStringList{"A"});
}

void TstWorkstationRegistry::failedUpdateChangesNothing() {
    ManagerFixture f;
    ManagerDatabase& db = f.db();
    f.exec("INSERT INTO MGRWorkstations (Name, Monitored) VALUES ('A', 0)");
    f.refuse("INSERT", "MGRWorkstations", "NEW.Name = 'BAD'");
    WorkstationRegistry registry(db);
    QVERIFY_THROWS_EXCEPTION(VcError, registry.update({{"A", true}, {"N", true}, {"BAD", true}}));
    QCOMPARE(rows(db), QStringList{"-A:1"});

    f.refuse("UPDATE", "MGRWorkstations", "NEW.Name = 'Z'");
    f.exec("INSERT INTO MGRWorkstations (Name, Monitored) VALUES ('Z', 0)");
    QVERIFY_THROWS_EXCEPTION(VcError, registry.setMonitored(QStringList{"A", "Z"}, true));
    QCOMPARE(rows(db), (QStringList{"-A:1", "-Z:2"}));
}

void TstWorkstationRegistry::setMonitoredByName() {
    ManagerFixture f;
    ManagerDatabase& db = f.db();
    WorkstationRegistry registry(db);
    registry.update({{"PC\"1", false}, {"PC'2", false}});
    QVERIFY(registry.setMonitored("pc\"1", true));
    QVERIFY(!registry.setMonitored("PC", true));
    registry.setMonitored(QStringList{"PC'2", "missing"}, true);
    QCOMPARE(rows(db), (QStringList{"+PC\"1:1", "+PC'2:2"}));
}

QTEST_GUILESS_MAIN(TstWorkstationRegistry)
#include "tst_workstationregistry.moc"
