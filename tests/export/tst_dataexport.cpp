// Export of a day range into a standalone database file: rows, keys, the file's life cycle.
#include "export/DataExport.h"
#include "store/UsageScan.h"
#include "support/ManagerFixture.h"
#include "support/ScriptedFeedback.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using Answer = Feedback::Answer;

namespace {
const QDate kDay1(2003, 1, 1);
const QDate kDay2(2003, 1, 2);
const QDate kDay3(2003, 1, 3);

QString statusFor(const QString& path) {
    return QStringLiteral("Exported Data to \"") + path + QLatin1Char('"');
}

QByteArray contentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeText(const QString& path, const QByteArray& text) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}
} // namespace

class TstDataExport : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { TestEnv::setUp(); }

    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_fixture = std::make_unique<ManagerFixture>();
        m_fixture->addGrouping(QStringLiteral("Writer"), {QStringLiteral("writer")});
        m_fixture->addGrouping(QStringLiteral("Browser"), {QStringLiteral("Browser")});
        m_feedback.clear();
    }

    void cleanup() {
        m_fixture.reset();
        m_dir.reset();
    }

    void newFileWithoutData_data() {
        QTest::addColumn<std::optional<QDate>>("from");
        QTest::addColumn<std::optional<QDate>>("to");
        QTest::newRow("no start day") << std::optional<QDate>() << std::optional<QDate>(kDay2);
        QTest::newRow("no end day") << std::optional<QDate>(kDay1) << std::optional<QDate>();
        QTest::newRow("neither") << std::optional<QDate>() << std::optional<QDate>();
    }

    void newFileWithoutData() {
        QFETCH(std::optional<QDate>, from);
        QFETCH(std::optional<QDate>, to);
        m_fixture->addUsage(QStringLiteral("PC1"), QStringLiteral("alice"), QStringLiteral("a - Writer"),
                            kDay1, 60);
        DataExport exporter(m_feedback, m_fixture->db());
        QCOMPARE(exporter.ExportData(target(), from, to), statusFor(target()));
        QVERIFY(m_feedback.messages.isEmpty());
        QCOMPARE(ManagerFixture::exportFields(target()),
                 QStringList({"UserName TEXT", "Workstation TEXT", "Application Title TEXT",
                              "Duration INTEGER", "Date TEXT"}));
        QCOMPARE(ManagerFixture::exportRows(target()), QStringList());
        // Nothing but the export file is left in the folder.
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({"Vellumcrest Data.mdb"}));
    }

    void rowsOfTheRange() {
        // Outside the range on both sides, one row each.
        m_fixture->addUsage("PC1", "alice", "Letter.doc - Writer", kDay1.addDays(-1), 11);
        m_fixture->addUsage("PC1", "alice", "Letter.doc - Writer", kDay1, 600);
        m_fixture->addUsage("PC2", "alice", "Letter.doc - Writer", kDay1, 120);
        m_fixture->addUsage("PC1", "bob", "Mail - Browser", kDay2, 90);
        m_fixture->addUsage("PC1", "bob", "Solitaire", kDay2, 30);
        m_fixture->addUsage("PC2", "alice", "Letter.doc - Writer", kDay3, 45);
        m_fixture->addUsage("PC2", "alice", "Letter.doc - Writer", kDay3.addDays(1), 12);
        // A row whose user has no name row is left out, as joining the name tables leaves it out.
        m_fixture->exec(
            "INSERT INTO MGRDaySummary (UserNameKey, AppTitleKey, WorkstationKey, Duration, Date) "
            "SELECT 999, AppTitleKey, WorkstationKey, 77, Date FROM MGRDaySummary WHERE Duration = 600");
        DataExport exporter(m_feedback, m_fixture->db());
        QCOMPARE(exporter.ExportData(target(), kDay1, kDay3), statusFor(target()));
        QCOMPARE(exporter.rowsAdded(), 5);
        QStringList rows = ManagerFixture::exportRows(target());
        rows.sort();
        QCOMPARE(rows, QStringList({"PC1|alice|Writer|600|2003-01-01", "PC1|bob|Browser|90|2003-01-02",
                                    "PC1|bob|Undefined Applications|30|2003-01-02",
                                    "PC2|alice|Writer|120|2003-01-01", "PC2|alice|Writer|45|2003-01-03"}));
    }

    // Every title of one application on one day adds to its row: nothing is dropped. A second
    // export into the same file adds only the keys the file lacks, never counting time twice.
    void titlesOfOneApplicationAreSummed() {
        m_fixture->addUsage("PC1", "alice", "Letter.doc - Writer", kDay1, 600);
        m_fixture->addUsage("PC1", "alice", "Memo.doc - WRITER", kDay1, 300);
        m_fixture->addUsage("PC1", "ALICE", "Writer", kDay1, 7);
        m_fixture->addUsage("PC1", "alice", "Letter.doc - Writer", kDay2, 60);
        DataExport exporter(m_feedback, m_fixture->db());
        QVERIFY(exporter.ExportData(target(), kDay1, kDay1));
        QCOMPARE(ManagerFixture::exportRows(target()), QStringList({"PC1|alice|Writer|907|2003-01-01"}));
        QVERIFY(exporter.ExportData(target(), kDay1, kDay2));
        QCOMPARE(exporter.rowsAdded(), 1);
        QCOMPARE(ManagerFixture::exportRows(target()),
                 QStringList({"PC1|alice|Writer|907|2003-01-01", "PC1|alice|Writer|60|2003-01-02"}));
    }

    void widerRangeAddsOnlyNewKeys() {
        m_fixture->addUsage("PC1", "alice", "Letter.doc - Writer", kDay1, 600);
        m_fixture->addUsage("PC1", "bob", "Mail - Browser", kDay2, 90);
        m_fixture->addUsage("PC1", "bob", "Mail - Browser", kDay3, 80);
        DataExport exporter(m_feedback, m_fixture->db());
        QVERIFY(exporter.ExportData(target(), kDay1, kDay1));
        // A row already in the file keeps what it holds.
        ManagerFixture::execute(target(), "UPDATE \"All Existing Data\" SET Duration = 4242");
        QCOMPARE(exporter.ExportData(target(), kDay1, kDay3), statusFor(target()));
        QCOMPARE(exporter.rowsAdded(), 2);
        QCOMPARE(ManagerFixture::exportRows(target()),
                 QStringList({"PC1|alice|Writer|4242|2003-01-01", "PC1|bob|Browser|90|2003-01-02",
                              "PC1|bob|Browser|80|2003-01-03"}));
    }

    void existingKeys_data() {
        QTest::addColumn<QString>("existingRow");
        QTest::addColumn<bool>("added");
        // Columns: UserName, Workstation, Application Title, Duration, Date.
        QTest::newRow("same key") << "'alice', 'PC1', 'Writer', 1, '2003-01-01'" << false;
        QTest::newRow("names in other letter case") << "'ALICE', 'pc1', 'WRITER', 1, '2003-01-01'" << false;
        QTest::newRow("other day") << "'alice', 'PC1', 'Writer', 1, '2003-01-02'" << true;
        QTest::newRow("other application") << "'alice', 'PC1', 'Browser', 1, '2003-01-01'" << true;
        QTest::newRow("other user") << "'bob', 'PC1', 'Writer', 1, '2003-01-01'" << true;
        QTest::newRow("other workstation") << "'alice', 'PC2', 'Writer', 1, '2003-01-01'" << true;
    }

    void existingKeys() {
        QFETCH(QString, existingRow);
        QFETCH(bool, added);
        m_fixture->addUsage("PC1", "alice", "Letter.doc - Writer", kDay1, 600);
        // A table made elsewhere, with fields of its own: it is used as it is.
        ManagerFixture::execute(target(),
                                "CREATE TABLE \"All Existing Data\" (Extra TEXT, UserName TEXT, "
                                "Workstation TEXT, \"Application Title\" TEXT, Duration REAL, Date TEXT)");
        ManagerFixture::execute(target(), "INSERT INTO \"All Existing Data\" (UserName, Workstation, "
                                          "\"Application Title\", Duration, Date) VALUES (" +
                                              existingRow + ")");
        DataExport exporter(m_feedback, m_fixture->db());
        QCOMPARE(exporter.ExportData(target(), kDay1, kDay1), statusFor(target()));
        QCOMPARE(exporter.rowsAdded(), added ? 1 : 0);
        QCOMPARE(ManagerFixture::exportRows(target()).size(), added ? 2 : 1);
        QCOMPARE(ManagerFixture::exportFields(target()).constFirst(), QStringLiteral("Extra TEXT"));
    }

    void unrecognizedFile_data() {
        QTest::addColumn<Answer>("answer");
        QTest::newRow("No") << Answer::No;
        QTest::newRow("Yes") << Answer::Yes;
    }

    void unrecognizedFile() {
        QFETCH(Answer, answer);
        m_fixture->addUsage("PC1", "alice", "Letter.doc - Writer", kDay1, 600);
        const QByteArray text = QByteArray("These are notes, not a database.\n").repeated(40);
        writeText(target(), text);
        m_feedback.answers = {answer};
        DataExport exporter(m_feedback, m_fixture->db());
        const std::optional<QString> status = exporter.ExportData(target(), kDay1, kDay1);

        QCOMPARE(m_feedback.messages.size(), 1);
        const auto& question = m_feedback.messages.constFirst();
        QCOMPARE(question.text,
                 "Unrecognized database format.  Ok for Vellumcrest to delete the old database (" + target() +
                     ")?");
        QCOMPARE(question.buttons, Feedback::Buttons::YesNo);
        if (answer == Answer::No) {
            QCOMPARE(status, QStringLiteral("Cancelled Data Export (unrecognized file format)"));
            QCOMPARE(contentsOf(target()), text);
        } else {
            QCOMPARE(status, statusFor(target()));
            QCOMPARE(ManagerFixture::exportRows(target()), QStringList({"PC1|alice|Writer|600|2003-01-01"}));
        }
    }

    void damagedManagerDatabaseSparesTheTarget() {
        // The engine's "not a database" comes from the manager database here: the valid export file
        // must not be offered for deletion.
        m_fixture->addUsage("PC1", "alice", "Letter.doc - Writer", kDay1, 600);
        DataExport exporter(m_feedback, m_fixture->db());
        QVERIFY(exporter.ExportData(target(), kDay2, kDay2));
        const QByteArray before = contentsOf(target());
        m_fixture->exec("PRAGMA journal_mode=DELETE");
        QFile manager(m_fixture->db().location());
        QVERIFY(manager.open(QIODevice::ReadWrite));
        QVERIFY(manager.write(QByteArray(100, 'x')) == 100);
        manager.close();
        m_feedback.answers = {Answer::Yes};

        QCOMPARE(exporter.ExportData(target(), kDay1, kDay1), std::nullopt);
        verifyErrorMessage();
        QCOMPARE(contentsOf(target()), before);
    }

    void namesWithApostrophes() {
        m_fixture->addGrouping("Bob's Editor", {"Don't"});
        m_fixture->addUsage("Bob's-PC", "O'Brien", "Don't Panic.txt - Editor", kDay1, 300);
        m_fixture->addUsage("Bob's-PC", "O'Brien", "Isn't it - Editor", kDay1, 200);
        DataExport exporter(m_feedback, m_fixture->db());
        QCOMPARE(exporter.ExportData(target(), kDay1, kDay1), statusFor(target()));
        QStringList rows = ManagerFixture::exportRows(target());
        rows.sort();
        QCOMPARE(rows, QStringList({"Bob's-PC|O'Brien|Bob's Editor|300|2003-01-01",
                                    "Bob's-PC|O'Brien|Undefined Applications|200|2003-01-01"}));
        // Exporting again finds every key, those names included, and leaves the file as it was.
        const QByteArray before = contentsOf(target());
        QCOMPARE(exporter.ExportData(target(), kDay1, kDay1), statusFor(target()));
        QCOMPARE(exporter.rowsAdded(), 0);
        QCOMPARE(contentsOf(target()), before);
        QVERIFY(m_feedback.messages.isEmpty());
    }

    void failureLeavesFileAsItWas_data() {
        QTest::addColumn<QString>("setUp");
        QTest::addColumn<bool>("existingFile");
        QTest::newRow("write fails midway") << "refuse" << true;
        QTest::newRow("table without the fields") << "DROP TABLE \"All Existing Data\"; " << true;
        QTest::newRow("unreadable source day") << QString() << false;
        QTest::newRow("missing folder") << QString() << false;
    }

    void failureLeavesFileAsItWas() {
        QFETCH(QString, setUp);
        QFETCH(bool, existingFile);
        m_fixture->addUsage("PC1", "alice", "Letter.doc - Writer", kDay1, 600);
        m_fixture->addUsage("PC1", "bob", "Letter.doc - Writer", kDay1, 500);
        m_fixture->addUsage("PC1", "carol", "Letter.doc - Writer", kDay1, 400);
        m_fixture->addUsage("PC1", "dave", "Letter.doc - Writer", kDay1, 300);
        QString path = target();
        if (QString(QTest::currentDataTag()) == "missing folder")
            path = m_dir->filePath("no such folder/Vellumcrest Data.mdb");
        if (QString(QTest::currentDataTag()) == "unreadable source day")
            m_fixture->addRawUsage("PC1", "erin", "Letter.doc - Writer", "2003-01-01x", 1);
        DataExport exporter(m_feedback, m_fixture->db());
        QByteArray before;
        if (existingFile) {
            QVERIFY(exporter.ExportData(path, kDay2, kDay2));
            ManagerFixture::execute(path,
                                    "INSERT INTO \"All Existing Data\" VALUES ('zed', 'PC9', 'Writer', 1, "
                                    "'2002-12-31')");
            if (setUp == "refuse") { // an engine failure after two rows have gone in
                ManagerFixture::refuseIn(path, "INSERT", "All Existing Data",
                                         "(SELECT count(*) FROM \"All Existing Data\") >= 2");
            } else {
                ManagerFixture::execute(path, setUp);
                ManagerFixture::execute(path, "CREATE TABLE \"All Existing Data\" (UserName TEXT)");
            }
            before = contentsOf(path);
        }
        const QStringList filesBefore = QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden);

        QCOMPARE(exporter.ExportData(path, kDay1, kDay1), std::nullopt);
        verifyErrorMessage();
        QCOMPARE(exporter.rowsAdded(), 0);
        QCOMPARE(QFile::exists(path), existingFile);
        if (existingFile)
            QCOMPARE(contentsOf(path), before);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), filesBefore);
    }

private:
    QString target(const QString& name = QStringLiteral("Vellumcrest Data.mdb")) const {
        return m_dir->filePath(name);
    }

    void verifyErrorMessage() {
        QCOMPARE(m_feedback.messages.size(), 1);
        const auto& message = m_feedback.messages.constFirst();
        // The engine's own words follow the lead-in.
        const QString lead = QStringLiteral("Error exporting data: \r\n");
        QVERIFY2(message.text.startsWith(lead) && message.text.size() > lead.size(),
                 qPrintable(message.text));
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ManagerFixture> m_fixture;
    ScriptedFeedback m_feedback;
};

QTEST_GUILESS_MAIN(TstDataExport)
#include "tst_dataexport.moc"
