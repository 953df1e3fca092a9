// The report file: a whole report against a file checked by hand, letter case in the
// grouping and the lists, and what a failed write leaves behind.
#include "base/VcError.h"
#include "report/ChartData.h"
#include "report/GenerateReport.h"
#include "report/ReportCsv.h"
#include "report/ReportHtml.h"
#include "report/ReportProgress.h"
#include "report/ReportText.h"
#include "support/ManagerFixture.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QtTest>

namespace {

// The lines of the file between two markers (exclusive), CR LF removed.
QList<QByteArray> linesOf(const QByteArray& file) {
    QList<QByteArray> lines = file.split('\n');
    for (QByteArray& line : lines)
        line.chop(line.endsWith('\r') ? 1 : 0);
    return lines;
}

// One row of minutes on a day given as text.
void add(ReportSums& sums, const char* day, const QString& application, double minutes,
         const QString& user = "u", const QString& workstation = "w") {
    sums.add(QDate::fromString(QLatin1String(day), Qt::ISODate), application.toUtf8(), user.toUtf8(),
             workstation.toUtf8(), minutes);
}

} // namespace

class TstWriteReport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }

    void wholeReportMatchesTheHandCheckedFile() {
        ManagerFixture f;
        f.addGrouping("Writer", {"writer"});
        f.addGrouping("Web & <Mail>", {"browser"});
        f.addGrouping("Ελληνικά", {"λέξη"});
        const QString bob = "Bob \"B\"";
        f.addRawUsage("WS-A", "anna", "Letter.doc - Writer", "2024-03-01", 600);
        f.addRawUsage("WS-A", "anna", "Memo.doc - WRITER", "2024-03-01", 300);
        f.addRawUsage("WS-A", bob, "Inbox - Browser", "2024-03-01", 2700);
        f.addRawUsage("WS-B", bob, "Inbox - Browser", "2024-03-01", 3600);
        f.addRawUsage("WS-B", bob, "solitaire", "2024-03-01", 90);
        f.addRawUsage("ПК-1", "Zoë", "ΛΈΞΗ notes", "2024-03-02", 36000);
        f.addRawUsage("ПК-1", "Zoë", "日本語 - Writer", "2024-03-02", 0);
        f.addRawUsage("WS-a", "ANNA", "Letter - Writer", "2024-03-03", 0);
        // Half minutes of three applications: each line shows 0:00, the day's exact 1:30 rounds
        // to 0:02 (to even), and the grand total holds them too.
        f.addRawUsage("WS-A", "anna", "Inbox - Browser", "2024-03-03", 30);
        f.addRawUsage("WS-B", bob, "solitaire", "2024-03-03", 30);
        f.addRawUsage("ПК-1", "Zoë", "λέξη x", "2024-03-03", 30);

        ReportProgress progress;
        int step = 0;
        const ReportCriteria criteria{QDate(2024, 3, 1), QDate(2024, 3, 3), f.allApplications(), f.allUsers(),
                                      f.allWorkstations()};
        const ReportOutcome outcome = generateReport(f.db(), criteria, f.programFolder(), progress, step);
        QCOMPARE(int(outcome.page), int(ReportPage::Report));
        QCOMPARE(outcome.path, f.programFolder() + "/Data/HTML/Report.html");
        const QByteArray expected =
            ManagerFixture::readFile(QStringLiteral(VC_REPORT_TEST_DATA "/expected_report.html"));
        const QByteArray written = ManagerFixture::readFile(outcome.path);
        const QList<QByteArray> want = linesOf(expected);
        const QList<QByteArray> got = linesOf(written);
        for (qsizetype i = 0; i < std::min(want.size(), got.size()); ++i)
            QCOMPARE(got[i], want[i]); // names the first differing line
        QCOMPARE(written, expected);
        QVERIFY(progress.value() <= progress.maximum());
    }

    // Every figure is the exact sum of the seconds it covers, rounded once (halves to even):
    // half minutes spread over users, workstations and applications must not vanish, whichever
    // writer shows them.
    void everyFigureIsTheExactSumRoundedOnce_data() {
        QTest::addColumn<QStringList>("rows"); // "workstation|user|title|day|seconds"
        QTest::newRow("half minutes of three users")
            << QStringList{"W1|anna|Letter - Writer|2024-03-01|30", "W1|bob|Letter - Writer|2024-03-01|30",
                           "W2|carl|Letter - Writer|2024-03-01|30"};
        QTest::newRow("half minutes of three applications")
            << QStringList{"W1|anna|Letter - Writer|2024-03-01|30", "W1|anna|Inbox - Browser|2024-03-01|30",
                           "W1|anna|solitaire|2024-03-01|30", "W1|anna|solitaire|2024-03-02|90"};
        QTest::newRow("seconds of many days")
            << QStringList{"W1|anna|Letter - Writer|2024-03-01|29", "W1|anna|Letter - Writer|2024-03-02|29",
                           "W1|anna|Letter - Writer|2024-03-03|29", "W2|bob|Inbox - Browser|2024-03-03|3601"};
    }
    void everyFigureIsTheExactSumRoundedOnce() {
        QFETCH(QStringList, rows);
        ManagerFixture f;
        f.addGrouping(QStringLiteral("Writer"), {QStringLiteral("writer")});
        f.addGrouping(QStringLiteral("Browser"), {QStringLiteral("browser")});
        for (const QString& row : rows) {
            const QStringList p = row.split(QLatin1Char('|'));
            f.addRawUsage(p[0], p[1], p[2], p[3], p[4].toLongLong());
        }
        const auto exact = [&f](const QString& where, const QVariantList& values) {
            return ReportText::wholeMinutes(
                1000 * f.scalar("SELECT SUM(Duration) FROM MGRDaySummary " + where, values));
        };
        ReportProgress progress;
        int step = 0;
        const ReportCriteria criteria{QDate(2024, 3, 1), QDate(2024, 3, 3), f.allApplications(), f.allUsers(),
                                      f.allWorkstations()};
        const ReportOutcome outcome = generateReport(f.db(), criteria, f.programFolder(), progress, step);
        QVERIFY(outcome.report);
        const ReportSums& sums = *outcome.report;
        const QByteArray html = ManagerFixture::readFile(outcome.path);
        const qint64 grand = exact(QString(), {});
        QVERIFY2(html.contains("SIZE=1>" + ReportText::grandTotalText(grand) + "</FONT> </TD></TR></TABLE>"),
                 html.constData());
        QCOMPARE(ChartData::build(sums, 60, 12).totalMinutes(), grand);
        const QByteArray csv = ReportCsv::text(sums, ReportCsv::Kind::Summary);
        qint64 csvMinutes = 0;
        for (const QByteArray& line : csv.split('\n').mid(1))
            csvMinutes += line.isEmpty() ? 0 : line.split(',').value(2).toLongLong();
        for (const auto& [date, day] : sums.days()) {
            const qint64 total = exact("WHERE Date = ?", {date.toString(Qt::ISODate)});
            QCOMPARE(sums.dayTotal(day), total);
            const QByteArray cell = ReportText::timePad(double(total)) + ReportText::timeText(double(total));
            QVERIFY2(html.contains("<HR>" + cell + "</FONT>"), cell.constData());
        }
        // The lines of one day each round their own exact sum; nothing else is added up.
        qint64 lineMinutes = 0;
        for (const auto& [date, day] : sums.days())
            for (const ReportSums::Application& app : day.applications)
                lineMinutes += ReportText::wholeMinutes(app.milliseconds);
        QCOMPARE(csvMinutes, lineMinutes);
    }

    void namesDifferingOnlyInCaseAreOne() {
        ReportSums sums;
        add(sums, "2024-03-01", "Écrire", 30, "élise", "WS-Ä");
        add(sums, "2024-03-01", "ÉCRIRE", 30, "ÉLISE", "ws-ä");
        add(sums, "2024-03-01", "Mail", 45, "Élise", "WS-Ä");
        const QByteArray file = ReportHtml::bytes(sums);
        QCOMPARE(file.count("SIZE=1>\xC9"
                            "crire</FONT>"),
                 1); // first spelling, once
        QVERIFY(!file.contains("\xC9"
                               "CRIRE"));
        QVERIFY(file.contains("&nbsp;&nbsp;1:00</FONT>")); // both spellings summed
        QCOMPARE(file.count("\xE9"
                            "lise</FONT>"),
                 1);
        QVERIFY(!file.contains(">\xC9LISE<"));
        QCOMPARE(file.count("WS-\xC4</FONT>") + file.count("ws-\xE4</FONT>"), 1);
    }

    void failedWriteSaysWhichFile() {
        ManagerFixture f;
        ReportSums sums;
        add(sums, "2024-03-01", "a", 1);
        const QString path = f.filePath("missing/r.html");
        try {
            ReportHtml::write(sums, path);
            QFAIL("written into a missing folder");
        } catch (const VcError& error) {
            QVERIFY2(error.description().contains(path), qPrintable(error.description()));
        }
    }

    void pageChoice_data() {
        QTest::addColumn<bool>("withDates");
        QTest::addColumn<QStringList>("users");
        QTest::addColumn<QDate>("day");
        QTest::addColumn<int>("page");
        const QStringList users{"anna"};
        QTest::newRow("no user checked")
            << true << QStringList{} << QDate(2024, 3, 1) << int(ReportPage::NoSelection);
        QTest::newRow("no dates") << false << users << QDate(2024, 3, 1) << int(ReportPage::NoSelection);
        QTest::newRow("no rows in range") << true << users << QDate(2024, 3, 9) << int(ReportPage::NoData);
        QTest::newRow("only unchecked rows")
            << true << QStringList{"ANNA"} << QDate(2024, 3, 1) << int(ReportPage::NoData);
    }
    void pageChoice() {
        QFETCH(bool, withDates);
        QFETCH(QStringList, users);
        QFETCH(QDate, day);
        QFETCH(int, page);
        ManagerFixture f;
        f.addRawUsage("WS1", "anna", "t", "2024-03-01", 60);
        const QString report = f.programFolder() + "/Data/HTML/Report.html";
        QFile old(report);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("earlier report");
        old.close();
        ReportCriteria criteria{day, day, f.allApplications(), users, f.allWorkstations()};
        if (!withDates)
            criteria.startDate = criteria.endDate = std::nullopt;
        ReportProgress progress;
        int step = 0;
        const ReportOutcome outcome = generateReport(f.db(), criteria, f.programFolder(), progress, step);
        QCOMPARE(int(outcome.page), page);
        QVERIFY(QFile::exists(outcome.path));
        QCOMPARE(ManagerFixture::readFile(report), QByteArray("earlier report"));
    }
};

QTEST_GUILESS_MAIN(TstWriteReport)
#include "tst_writereport.moc"
