// Extraction: the rows it hands to the report's sums, the progress contract and ProgressStep,
// and a read that never waits for a writer.
#include "groupings/ApplicationNames.h"
#include "report/GenerateData.h"
#include "report/ReportProgress.h"
#include "report/ReportSums.h"
#include "store/FileDatabase.h"
#include "store/SqlTransaction.h"
#include "support/ManagerFixture.h"
#include "support/TestEnv.h"

#include <QtTest>

namespace {

class RecordedProgress : public ReportProgress {
public:
    QList<double> values;
    QList<double> maxima;

protected:
    void changed() override {
        values.append(value());
        maxima.append(maximum());
    }
};

ReportCriteria everything(ManagerFixture& f, QDate from, QDate to) {
    return {from, to, f.allApplications(), f.allUsers(), f.allWorkstations()};
}

// The rows the extraction handed over, as "day|application|user|workstation|minutes", sorted.
QStringList rowsOf(const ReportSums& sums) {
    QStringList rows;
    for (const auto& [date, day] : sums.days()) {
        for (size_t i = 0; i < day.detail.size(); ++i) {
            const ReportSums::Who& who = day.detail[i];
            rows.append(QStringLiteral("%1|%2|%3|%4|%5")
                            .arg(date.toString(Qt::ISODate),
                                 sums.applications().firstSpelling(who.application),
                                 sums.users().firstSpelling(who.user),
                                 sums.workstations().firstSpelling(who.workstation),
                                 QString::number(static_cast<double>(day.rowMilliseconds[i]) / 60000.0)));
        }
    }
    rows.sort();
    return rows;
}

// The extraction of a report of those criteria.
QStringList extracted(ManagerFixture& f, const ReportCriteria& criteria, ReportProgress& progress, int& step,
                      ExtractionCounts* counts = nullptr) {
    ReportSums sums(ReportSums::Detail::Kept);
    const ExtractionCounts c = GenerateData(f.db(), criteria, progress, step, sums);
    if (counts)
        *counts = c;
    return rowsOf(sums);
}

const QDate kDay1(2024, 3, 1);
const QDate kDay2(2024, 3, 2);
const QDate kDay3(2024, 3, 3);

} // namespace

class TstGenerateData : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }

    void mergesTitlesOfOneApplication_data() {
        QTest::addColumn<QString>("laterTitle");
        QTest::newRow("another document") << "Memo.doc - Writer";
        QTest::newRow("exactly the grouping name") << "Writer";
    }
    void mergesTitlesOfOneApplication() {
        QFETCH(QString, laterTitle);
        ManagerFixture f;
        f.addGrouping("Writer", {"writer"});
        f.addRawUsage("WS1", "anna", "Letter.doc - Writer", "2024-03-01", 600);
        f.addRawUsage("WS1", "anna", laterTitle, "2024-03-01", 300);
        RecordedProgress progress;
        int step = 0;
        ExtractionCounts counts;
        QCOMPARE(extracted(f, everything(f, kDay1, kDay1), progress, step, &counts),
                 QStringList{"2024-03-01|Writer|anna|WS1|15"});
        QCOMPARE(counts.extracted, 2);
        QCOMPARE(counts.merged, 1);
        QCOMPARE(step, 2);
    }

    // Stored durations no download writes may be negative: they add up like any other, and a
    // negative sum is still a row (it once served as the "unused" marker: -60 and 180 gave 3).
    void negativeDurationsAddUp_data() {
        QTest::addColumn<QList<qint64>>("seconds");
        QTest::addColumn<QString>("row");
        QTest::newRow("negative then positive") << QList<qint64>{-60, 180} << "2024-03-01|Writer|anna|WS1|2";
        QTest::newRow("negative alone") << QList<qint64>{-120} << "2024-03-01|Writer|anna|WS1|-2";
    }
    void negativeDurationsAddUp() {
        QFETCH(QList<qint64>, seconds);
        QFETCH(QString, row);
        ManagerFixture f;
        f.addGrouping("Writer", {"writer"});
        for (const qint64 s : seconds)
            f.addRawUsage("WS1", "anna", "Letter.doc - Writer", "2024-03-01", s);
        RecordedProgress progress;
        int step = 0;
        QCOMPARE(extracted(f, everything(f, kDay1, kDay1), progress, step), QStringList{row});
    }

    // A captured title that is exactly a grouping's name counts where the rule maps it, not for
    // that grouping: merging row by row as the extraction was once described would first fold
    // Mail's time into the row titled "Mail" and then map that row elsewhere.
    void titleEqualToAGroupingsNameKeepsItsOwnMapping_data() {
        QTest::addColumn<QStringList>("groupings"); // "alias:entry", in rank order
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("not caught by any entry")
            << QStringList{"Mail:inbox"}
            << QStringList{"2024-03-01|Mail|anna|WS1|10", "2024-03-01|Undefined Applications|anna|WS1|5"};
        QTest::newRow("caught by a higher grouping")
            << QStringList{"Post:mail", "Mail:inbox"}
            << QStringList{"2024-03-01|Mail|anna|WS1|10", "2024-03-01|Post|anna|WS1|5"};
    }
    void titleEqualToAGroupingsNameKeepsItsOwnMapping() {
        QFETCH(QStringList, groupings);
        QFETCH(QStringList, rows);
        ManagerFixture f;
        for (const QString& g : groupings)
            f.addGrouping(g.section(QLatin1Char(':'), 0, 0), {g.section(QLatin1Char(':'), 1)});
        f.addRawUsage("WS1", "anna", "Inbox - Letters", "2024-03-01", 600);
        f.addRawUsage("WS1", "anna", "Mail", "2024-03-01", 300);
        RecordedProgress progress;
        int step = 0;
        QCOMPARE(extracted(f, everything(f, kDay1, kDay1), progress, step), rows);
    }

    void keepsRowsApart() {
        ManagerFixture f;
        f.addGrouping("Writer", {"writer"});
        f.addGrouping("Mail", {"inbox"});
        const QString d1 = "2024-03-01";
        f.addRawUsage("WS1", "anna", "a - Writer", d1, 60);
        f.addRawUsage("WS2", "anna", "a - Writer", d1, 120);
        f.addRawUsage("WS1", "Bob", "a - Writer", d1, 90);
        f.addRawUsage("WS1", "anna", "Inbox", d1, 30);
        f.addRawUsage("WS1", "anna", "Solitaire", d1, 6);
        f.addRawUsage("WS1", "anna", "a - Writer", "2024-03-02", 60);
        RecordedProgress progress;
        int step = 0;
        QCOMPARE(extracted(f, everything(f, kDay1, kDay2), progress, step),
                 (QStringList{
                     "2024-03-01|Mail|anna|WS1|0.5",
                     "2024-03-01|Undefined Applications|anna|WS1|0.1",
                     "2024-03-01|Writer|Bob|WS1|1.5",
                     "2024-03-01|Writer|anna|WS1|1",
                     "2024-03-01|Writer|anna|WS2|2",
                     "2024-03-02|Writer|anna|WS1|1",
                 }));
    }

    void selectsCheckedItemsExactly_data() {
        QTest::addColumn<QStringList>("applications");
        QTest::addColumn<QStringList>("users");
        QTest::addColumn<QStringList>("workstations");
        QTest::addColumn<QStringList>("expected");
        const QStringList apps{"Writer", kUndefinedApplications};
        const QStringList users{"anna", "Bob"};
        const QStringList ws{"WS1"};
        const QString annaWriter = "2024-03-01|Writer|anna|WS1|1";
        const QString bobWriter = "2024-03-01|Writer|Bob|WS1|1";
        const QString annaOther = "2024-03-01|Undefined Applications|anna|WS1|1";
        QTest::newRow("all") << apps << users << ws << QStringList{annaOther, bobWriter, annaWriter};
        QTest::newRow("user unchecked")
            << apps << QStringList{"anna"} << ws << QStringList{annaOther, annaWriter};
        QTest::newRow("case differs: not checked") << apps << QStringList{"bob"} << ws << QStringList{};
        QTest::newRow("undefined unchecked")
            << QStringList{"Writer"} << users << ws << QStringList{bobWriter, annaWriter};
        QTest::newRow("workstation unchecked") << apps << users << QStringList{"WS2"} << QStringList{};
    }
    void selectsCheckedItemsExactly() {
        QFETCH(QStringList, applications);
        QFETCH(QStringList, users);
        QFETCH(QStringList, workstations);
        QFETCH(QStringList, expected);
        ManagerFixture f;
        f.addGrouping("Writer", {"writer"});
        const QString d1 = "2024-03-01";
        f.addRawUsage("WS1", "anna", "a - Writer", d1, 60);
        f.addRawUsage("WS1", "Bob", "a - Writer", d1, 60);
        f.addRawUsage("WS1", "anna", "Solitaire", d1, 60);
        RecordedProgress progress;
        int step = 0;
        const ReportCriteria criteria{kDay1, kDay1, applications, users, workstations};
        ExtractionCounts counts;
        QCOMPARE(extracted(f, criteria, progress, step, &counts), expected);
        QCOMPARE(counts.merged, 3); // merging comes before the filter
    }

    void rangeIsInclusiveOfWholeDays_data() {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<int>("rows");
        QTest::newRow("one day") << kDay2 << kDay2 << 1;
        QTest::newRow("end day included") << kDay1 << kDay2 << 2;
        QTest::newRow("start after end") << kDay3 << kDay1 << 0;
    }
    void rangeIsInclusiveOfWholeDays() {
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(int, rows);
        ManagerFixture f;
        for (const char* day : {"2024-03-01", "2024-03-02 13:45:00", "2024-03-03"})
            f.addRawUsage("WS1", "anna", "t", QLatin1String(day), 60);
        RecordedProgress progress;
        int step = 0;
        QCOMPARE(extracted(f, everything(f, from, to), progress, step).size(), rows);
    }

    void progressStaysWithinFourTimesTheRows_data() {
        QTest::addColumn<int>("titles");
        QTest::addColumn<int>("expectedStep");
        QTest::newRow("5 rows into 2: 2.5 to even") << 5 << 2;
        QTest::newRow("7 rows into 2: 3.5 to even") << 7 << 4;
    }
    void progressStaysWithinFourTimesTheRows() {
        QFETCH(int, titles);
        QFETCH(int, expectedStep);
        ManagerFixture f;
        f.addGrouping("Writer", {"writer"});
        // All titles but one are Writer's, on one workstation; the last is undefined.
        for (int i = 0; i < titles - 1; ++i)
            f.addRawUsage("WS1", "anna", QStringLiteral("d%1 - Writer").arg(i), "2024-03-01", 60);
        f.addRawUsage("WS1", "anna", "other", "2024-03-01", 60);
        RecordedProgress progress;
        int step = 0;
        extracted(f, everything(f, kDay1, kDay1), progress, step);
        QCOMPARE(step, expectedStep);
        QCOMPARE(progress.maximum(), 4.0 * titles);
        for (qsizetype i = 1; i < progress.values.size(); ++i)
            QVERIFY(progress.values[i] >= progress.values[i - 1]);
        QVERIFY(progress.value() <= progress.maximum());
        QCOMPARE(progress.value(), titles + 2.0 * 2 * expectedStep);
    }

    void progressStepKeptWhenNothingIsExtracted() {
        ManagerFixture f;
        f.addRawUsage("WS1", "anna", "t", "2024-03-01", 60);
        RecordedProgress progress;
        int step = 7;
        QVERIFY(extracted(f, everything(f, kDay2, kDay3), progress, step).isEmpty());
        QCOMPARE(step, 7);
        ReportCriteria noDates = everything(f, kDay1, kDay1);
        noDates.startDate.reset();
        QVERIFY(extracted(f, noDates, progress, step).isEmpty());
        QCOMPARE(step, 7);
    }

    // Another connection in the middle of a write (a download merging, an edit): the report
    // reads the last committed state without waiting, and writes nothing the writer would wait for.
    void readsWhileAnotherConnectionWrites() {
        ManagerFixture f;
        f.addRawUsage("WS1", "anna", "t", "2024-03-01", 60);
        FileDatabase writer(f.db().location(), FileDatabase::Access::ReadWrite);
        SqlTransaction held(writer, SqlTransaction::Lock::Immediate);
        writer.exec("INSERT INTO MGRDaySummary (UserNameKey, AppTitleKey, WorkstationKey, Duration, Date) "
                    "SELECT UserNameKey, AppTitleKey, WorkstationKey, 600, Date FROM MGRDaySummary");
        RecordedProgress progress;
        int step = 0;
        QCOMPARE(extracted(f, everything(f, kDay1, kDay1), progress, step),
                 QStringList{"2024-03-01|Undefined Applications|anna|WS1|1"});
        // The writer's transaction is whole and can still commit.
        held.commit();
        QCOMPARE(extracted(f, everything(f, kDay1, kDay1), progress, step),
                 QStringList{"2024-03-01|Undefined Applications|anna|WS1|11"});
    }
};

QTEST_GUILESS_MAIN(TstGenerateData)
#include "tst_generatedata.moc"
