// The audit log's chain and its check, and retention: what a purge leaves in the database file.
#include "base/VcError.h"
#include "collect/Retention.h"
#include "store/AuditLog.h"
#include "support/ManagerFixture.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QtTest>

namespace {
// The database file and its write-ahead log, as bytes anyone able to read them would see.
QByteArray storeBytes(const QString& databasePath) {
    QByteArray bytes;
    for (const QString& path : {databasePath, databasePath + QStringLiteral("-wal")}) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            bytes += file.readAll();
    }
    return bytes;
}
} // namespace

class TstPrivacy : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }
    void auditChainHoldsAndNamesTheFirstChangedRow_data();
    void auditChainHoldsAndNamesTheFirstChangedRow();
    void auditRowsOfADayRangeAndTheirCsv();
    void purgeOverwritesOldUsageInTheFile();
    void purgeThatFailsDeletesNothing();
};

void TstPrivacy::auditChainHoldsAndNamesTheFirstChangedRow_data() {
    QTest::addColumn<QString>("tamper"); // SQL run on the log after three rows; empty: none
    QTest::addColumn<qint64>("firstBad");
    QTest::newRow("untouched") << QString() << qint64(0);
    QTest::newRow("details changed") << "UPDATE MGRAuditLog SET Details = 'x' WHERE Sequence = 2"
                                     << qint64(2);
    QTest::newRow("account changed") << "UPDATE MGRAuditLog SET Account = 'x' WHERE Sequence = 1"
                                     << qint64(1);
    QTest::newRow("row deleted") << "DELETE FROM MGRAuditLog WHERE Sequence = 2" << qint64(3);
    QTest::newRow("hash recomputed alone")
        << "UPDATE MGRAuditLog SET Details = 'x', Hash = 'ab' WHERE Sequence = 1" << qint64(1);
    QTest::newRow("rows swapped") << "UPDATE MGRAuditLog SET Sequence = -Sequence WHERE Sequence IN (1, 2); "
                                     "UPDATE MGRAuditLog SET Sequence = 3 + Sequence WHERE Sequence < 0"
                                  << qint64(1);
}

void TstPrivacy::auditChainHoldsAndNamesTheFirstChangedRow() {
    QFETCH(QString, tamper);
    QFETCH(qint64, firstBad);
    ManagerFixture fixture;
    AuditLog::record(fixture.db(), QStringLiteral("report"), QStringLiteral("format=html"));
    AuditLog::record(fixture.db(), QStringLiteral("export"), QStringLiteral("output=/tmp/x.mdb"));
    AuditLog::record(fixture.db(), QStringLiteral("purge"), QStringLiteral("usage-rows=4"));
    for (const QString& statement : tamper.split(QStringLiteral("; "), Qt::SkipEmptyParts))
        fixture.exec(statement);
    const AuditLog::Verification check = AuditLog::verify(fixture.db());
    QCOMPARE(check.firstBad, firstBad);
    QCOMPARE(check.reason.isEmpty(), firstBad == 0);
}

void TstPrivacy::auditRowsOfADayRangeAndTheirCsv() {
    ManagerFixture fixture;
    AuditLog::setOrigin(AuditLog::Origin::Command);
    AuditLog::record(fixture.db(), QStringLiteral("redaction"), QStringLiteral("pattern=\"=cmd|x\"\nsecond"));
    AuditLog::setOrigin(AuditLog::Origin::Console);
    const QDate today = QDateTime::currentDateTimeUtc().date();
    QVERIFY(AuditLog::rowsBetween(fixture.db(), today.addDays(1), today.addDays(2)).isEmpty());
    const QList<ManagerDatabase::AuditRow> rows =
        AuditLog::rowsBetween(fixture.db(), today.addDays(-1), today);
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().origin, QStringLiteral("command"));
    QVERIFY(!rows.first().account.isEmpty());
    const QString csv = AuditLog::csv(rows);
    QVERIFY(csv.contains(QStringLiteral("\"pattern=\"\"=cmd|x\"\"\nsecond\"")));
    // One terminal line per row, whatever the details hold.
    QCOMPARE(AuditLog::text(rows).count(QLatin1Char('\n')), 1);
}

void TstPrivacy::purgeOverwritesOldUsageInTheFile() {
    ManagerFixture fixture;
    const QDate today(2026, 3, 31);
    const QString secret = QStringLiteral("Salary review of Marguerite Oldfield");
    for (int i = 0; i < 200; ++i)
        fixture.addUsage(QStringLiteral("PC1"), QStringLiteral("olduser"), secret + QString::number(i),
                         today.addDays(-40), 60);
    fixture.addUsage(QStringLiteral("PC1"), QStringLiteral("newuser"), QStringLiteral("Kept title"), today,
                     60);
    fixture.addUsage(QStringLiteral("PC1"), QStringLiteral("newuser"), QStringLiteral("Kept title"),
                     today.addDays(-29), 60);
    const QString path = fixture.db().location();
    QVERIFY(storeBytes(path).contains(secret.toUtf8()));

    QVERIFY(!applyRetention(fixture.db(), 0, today));
    const std::optional<RetentionOutcome> outcome = applyRetention(fixture.db(), 30, today);
    QVERIFY(outcome);
    QCOMPARE(outcome->counts.usageRows, qint64(200));
    QCOMPARE(outcome->counts.users, qint64(1));
    QCOMPARE(outcome->counts.titles, qint64(200));
    QVERIFY(outcome->scrubbed);
    QCOMPARE(fixture.usage().size(), 2);
    const QByteArray bytes = storeBytes(path);
    QVERIFY(!bytes.contains(secret.toUtf8()));
    QVERIFY(!bytes.contains("olduser"));
    QVERIFY(bytes.contains("Kept title"));
    const QList<ManagerDatabase::AuditRow> audit = fixture.db().auditRows();
    QCOMPARE(audit.size(), 1);
    QCOMPARE(audit.first().action, QStringLiteral("purge"));
    QVERIFY(audit.first().details.contains(QStringLiteral("usage-rows=200")));
    // Nothing older is left: a second purge deletes nothing and says so in the log.
    QCOMPARE(applyRetention(fixture.db(), 30, today)->counts.usageRows, qint64(0));
    QCOMPARE(AuditLog::verify(fixture.db()).firstBad, qint64(0));
}

void TstPrivacy::purgeThatFailsDeletesNothing() {
    ManagerFixture fixture;
    const QDate today(2026, 3, 31);
    fixture.addUsage(QStringLiteral("PC1"), QStringLiteral("u"), QStringLiteral("Old"), today.addDays(-10),
                     60);
    fixture.refuse(QStringLiteral("INSERT"), QStringLiteral("MGRAuditLog"));
    QVERIFY_THROWS_EXCEPTION(VcError, applyRetention(fixture.db(), 5, today));
    QCOMPARE(fixture.usage().size(), 1);
    QCOMPARE(fixture.scalar(QStringLiteral("SELECT count(*) FROM MGRUsers")), qint64(1));
}

QTEST_GUILESS_MAIN(TstPrivacy)
#include "tst_privacy.moc"
