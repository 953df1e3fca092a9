// The audit log's chain and its check, and retention: what a purge leaves in the database file.
#include "base/VcError.h"
#include "collect/RedactionRules.h"
#include "collect/RedactionStore.h"
#include "collect/Retention.h"
#include "report/Pseudonyms.h"
#include "store/AuditLog.h"
#include "support/ManagerFixture.h"
#include "support/RedactionCases.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QRegularExpression>
#include <QtTest>
#include <sys/stat.h>

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
    void redactionAnswersAsTheAgent_data();
    void redactionAnswersAsTheAgent();
    void redactionRefusesWhatTheAgentRefuses_data();
    void redactionRefusesWhatTheAgentRefuses();
    void redactionRulesRefuseBadInput_data();
    void redactionRulesRefuseBadInput();
    void redactionRewritesStoredTitlesAndTheFile();
    void pseudonymsAreStableAndKeyed();
    void keyFileIsMadeOnceAndRefusedWhenUnfit_data();
    void keyFileIsMadeOnceAndRefusedWhenUnfit();
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

void TstPrivacy::redactionAnswersAsTheAgent_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("stored");
    const QList<RedactionCase> cases = redactionCases();
    QVERIFY(!cases.isEmpty());
    for (const RedactionCase& c : cases)
        QTest::newRow(qPrintable(c.name)) << c.rules << c.title << c.stored;
}

void TstPrivacy::redactionAnswersAsTheAgent() {
    QFETCH(QStringList, lines);
    QFETCH(QString, title);
    QFETCH(QString, stored);
    QList<RedactionRules::Rule> rules;
    for (const QString& line : lines) {
        rules.append(RedactionRules::fromLine(line));
        QCOMPARE(RedactionRules::refusal(rules.constLast()), QString());
    }
    QCOMPARE(RedactionRules(rules).replacementOf(title).value_or(title), stored);
}

void TstPrivacy::redactionRefusesWhatTheAgentRefuses_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("empty") << ""
                           << "empty pattern";
    QTest::newRow("only a star") << "*"
                                 << "the pattern matches every title";
    QTest::newRow("only stars") << "***=(all)"
                                << "the pattern matches every title";
    QTest::newRow("wildcards alone")
        << "*?*=(all)"
        << "the pattern is wildcards alone with a *: it matches nearly every title";
    QTest::newRow("too long") << QString(1025, 'x') + "=(long)"
                              << "pattern longer than 1,024 characters";
    QTest::newRow("long enough") << QString(1024, 'x') + "=(fits)"
                                 << "";
    QTest::newRow("no replacement") << "*Inbox*="
                                    << "empty replacement";
    QTest::newRow("invisible replacement") << "*Inbox*=\t\u200b"
                                           << "empty replacement";
    QTest::newRow("question marks") << "??"
                                    << "";
}

void TstPrivacy::redactionRefusesWhatTheAgentRefuses() {
    QFETCH(QString, line);
    QFETCH(QString, refusal);
    const RedactionRules::Rule rule = RedactionRules::fromLine(line);
    QCOMPARE(RedactionRules::refusal(rule), refusal);
    QCOMPARE(RedactionRules({rule}).isEmpty(), !refusal.isEmpty());
}

void TstPrivacy::redactionRulesRefuseBadInput_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("says");
    QTest::newRow("empty") << ""
                           << "" << 0 << "empty pattern";
    QTest::newRow("only stars") << "**"
                                << "" << 0 << "matches every title";
    QTest::newRow("too long") << QString(1025, 'x') << "" << 0 << "longer than 1,024";
    QTest::newRow("blank replacement") << "*x*"
                                       << "\t" << 0 << "empty replacement";
    QTest::newRow("there in another case") << "*INBOX*"
                                           << "" << 0 << "already a redaction rule";
    QTest::newRow("past the end") << "*y*"
                                  << "" << 3 << "from 1 to 2";
}

void TstPrivacy::redactionRulesRefuseBadInput() {
    QFETCH(QString, pattern);
    QFETCH(QString, replacement);
    QFETCH(int, position);
    QFETCH(QString, says);
    ManagerFixture fixture;
    RedactionStore rules(fixture.db());
    rules.add({QStringLiteral("*Inbox*"), QStringLiteral("(mail)")});
    try {
        rules.add({pattern, replacement}, position);
        QFAIL("the rule was taken");
    } catch (const VcError& error) {
        QCOMPARE(error.number(), ErrorNumber::InvalidArgument);
        QVERIFY2(error.description().contains(says), qPrintable(error.description()));
    }
    QCOMPARE(rules.rules().size(), 1);
    QCOMPARE(fixture.db().auditRows().size(), 1);
    QVERIFY_THROWS_EXCEPTION(VcError, rules.remove(QStringLiteral("*Outbox*")));
}

void TstPrivacy::redactionRewritesStoredTitlesAndTheFile() {
    ManagerFixture fixture;
    const QDate day(2026, 3, 2);
    const QString secret = QStringLiteral("Inbox - Offer to Marguerite Oldfield");
    fixture.addUsage(QStringLiteral("PC1"), QStringLiteral("ann"), secret, day, 60);
    fixture.addUsage(QStringLiteral("PC1"), QStringLiteral("ann"), QStringLiteral("INBOX (2)"), day, 30);
    fixture.addUsage(QStringLiteral("PC1"), QStringLiteral("ann"), QStringLiteral("(MAIL)"), day, 10);
    fixture.addUsage(QStringLiteral("PC1"), QStringLiteral("ann"), QStringLiteral("Editor"), day, 5);
    RedactionStore rules(fixture.db());
    rules.add({QStringLiteral("*Offer*"), QString()});
    rules.add({QStringLiteral("*inbox*"), QStringLiteral("(mail)")}, 1);
    QCOMPARE(rules.rules().first().pattern, QStringLiteral("*inbox*"));
    QCOMPARE(rules.rules().last().replacement, QStringLiteral("(private)"));

    const RedactionStore::Rewrite rewrite = rules.apply();
    QCOMPARE(rewrite.titles, qint64(2));
    QCOMPARE(rewrite.rows, qint64(2));
    QVERIFY(rewrite.scrubbed);
    // The first rule wins; the time is merged under the title already there, totals kept.
    QCOMPARE(fixture.usage(), (QStringList{"PC1|ann|(MAIL)|2026-03-02|100", "PC1|ann|Editor|2026-03-02|5"}));
    QVERIFY(!storeBytes(fixture.db().location()).contains("Marguerite"));
    QCOMPARE(rules.apply().titles, qint64(0));
    QStringList actions;
    for (const ManagerDatabase::AuditRow& row : fixture.db().auditRows())
        actions << row.details.section(QLatin1Char(' '), 0, 0);
    QCOMPARE(actions, (QStringList{"add", "add", "apply", "apply"}));
    QCOMPARE(AuditLog::verify(fixture.db()).firstBad, qint64(0));

    // A rewrite that cannot be accounted for changes nothing.
    fixture.addUsage(QStringLiteral("PC1"), QStringLiteral("ann"), QStringLiteral("Inbox (9)"), day, 1);
    fixture.refuse(QStringLiteral("INSERT"), QStringLiteral("MGRAuditLog"));
    QVERIFY_THROWS_EXCEPTION(VcError, rules.apply());
    QVERIFY(fixture.usage().contains("PC1|ann|Inbox (9)|2026-03-02|1"));
}

void TstPrivacy::pseudonymsAreStableAndKeyed() {
    const Pseudonyms site(QByteArray(32, 'k'), false);
    const QString alice = site.user(QStringLiteral("alice"));
    QVERIFY2(QRegularExpression(QStringLiteral("^User [0-9A-F]{6}$")).match(alice).hasMatch(),
             qPrintable(alice));
    QCOMPARE(Pseudonyms(QByteArray(32, 'k'), false).user(QStringLiteral("ALICE")), alice);
    QVERIFY(site.user(QStringLiteral("alicia")) != alice);
    QVERIFY(Pseudonyms(QByteArray(32, 'j'), false).user(QStringLiteral("alice")) != alice);
    QCOMPARE(site.user(QStringLiteral("alice"), 16).left(11), alice);
    QCOMPARE(site.workstation(QStringLiteral("PC1")), QStringLiteral("PC1"));
    const QString pc = Pseudonyms(QByteArray(32, 'k'), true).workstation(QStringLiteral("PC1"));
    QVERIFY(pc.startsWith(QStringLiteral("Workstation ")) && !pc.contains(QStringLiteral("PC1")));
}

void TstPrivacy::keyFileIsMadeOnceAndRefusedWhenUnfit_data() {
    QTest::addColumn<QByteArray>("content"); // what is at the path first; "none": nothing, "link": a link
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("refusal"); // empty: the key is used
    QTest::newRow("nothing there: made") << QByteArray("none") << 0 << QString();
    QTest::newRow("a key") << QByteArray(32, 'x') << 0600 << QString();
    QTest::newRow("short") << QByteArray(31, 'x') << 0600 << "not a key of 32 bytes";
    QTest::newRow("long") << QByteArray(33, 'x') << 0600 << "not a key of 32 bytes";
    QTest::newRow("empty") << QByteArray() << 0600 << "not a key of 32 bytes";
    QTest::newRow("readable by others") << QByteArray(32, 'x') << 0644 << "others may read";
    QTest::newRow("a symbolic link") << QByteArray("link") << 0600 << "Too many levels";
}

void TstPrivacy::keyFileIsMadeOnceAndRefusedWhenUnfit() {
    QFETCH(QByteArray, content);
    QFETCH(int, mode);
    QFETCH(QString, refusal);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("pseudonym.key"));
    if (content == "link") {
        QFile key(dir.filePath(QStringLiteral("elsewhere")));
        QVERIFY(key.open(QIODevice::WriteOnly));
        key.write(QByteArray(32, 'x'));
        key.close();
        QVERIFY(QFile::link(key.fileName(), path));
    } else if (content != "none") {
        QFile key(path);
        QVERIFY(key.open(QIODevice::WriteOnly));
        key.write(content);
        key.close();
        QVERIFY(::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0);
    }
    const QByteArray before = content == "none" ? QByteArray() : ManagerFixture::readFile(path);
    try {
        const Pseudonyms first = Pseudonyms::fromKeyFile(path, false);
        QVERIFY2(refusal.isEmpty(), "an unfit key was used");
        struct stat info {};
        QVERIFY(::stat(QFile::encodeName(path).constData(), &info) == 0);
        QCOMPARE(int(info.st_mode & 0777), 0600);
        QCOMPARE(Pseudonyms::fromKeyFile(path, false).user(QStringLiteral("bob")),
                 first.user(QStringLiteral("bob")));
        if (content == "none")
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    } catch (const VcError& error) {
        QVERIFY2(!refusal.isEmpty() && error.description().contains(refusal),
                 qPrintable(error.description()));
        // Never replaced by a new key.
        QCOMPARE(ManagerFixture::readFile(path), before);
    }
}

QTEST_GUILESS_MAIN(TstPrivacy)
#include "tst_privacy.moc"
