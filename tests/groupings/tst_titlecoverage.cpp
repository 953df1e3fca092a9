// Unmatched titles and what each application catches: the times against a direct sum of the
// stored rows and against the report's own extraction, the rule's letter case and quotes.
#include "groupings/ApplicationNames.h"
#include "groupings/TitleCoverage.h"
#include "report/GenerateData.h"
#include "report/ReportProgress.h"
#include "report/ReportSums.h"
#include "store/Dates.h"
#include "support/ManagerFixture.h"
#include "support/TestEnv.h"

#include <QtTest>

namespace {
const QDate kFrom(2024, 2, 28);
const QDate kTo(2024, 3, 1);

class QuietProgress : public ReportProgress {
protected:
    void changed() override {}
};

// The seconds of one title's rows in the range, summed by the engine over the raw table.
qint64 storedSeconds(ManagerFixture& f, const QString& title) {
    return f.scalar("SELECT COALESCE(SUM(s.Duration), 0) FROM MGRDaySummary s "
                    "JOIN MGRAppTitles t ON t.AppTitleID = s.AppTitleKey "
                    "JOIN MGRUsers u ON u.UserNameID = s.UserNameKey "
                    "JOIN MGRWorkstations w ON w.WorkstationID = s.WorkstationKey "
                    "WHERE t.AppTitle = ? AND s.Date BETWEEN ? AND ?",
                    {title, Dates::toStored(kFrom), Dates::toStored(kTo)});
}

// Groupings with entries that meet titles only through the rule's letter case and quotes.
void fill(ManagerFixture& f) {
    f.setGroupings({"Desktop=0", "Word=1", "Mail=2", "People=3"});
    f.addTitleRow("Desktop", "Program Manager");
    f.addTitleRow("Word", "Microsoft Word");
    f.addTitleRow("Mail", "inbox");
    f.addTitleRow("Mail", "Word"); // ranks below Word: never catches a Word title
    f.addTitleRow("People", "O'Brien");
    const QStringList titles{"Report.doc - Microsoft Word",
                             "INBOX - Mail",
                             "O Brien's file",
                             "Calculator",
                             "Solitaire",
                             "\"Untitled\" - Notepad",
                             "Idle in range only before",
                             "Never used"};
    f.addCaptured(titles);
    f.addUsage("WS1", "anna", "Report.doc - Microsoft Word", kFrom, 600);
    f.addUsage("WS1", "anna", "INBOX - Mail", kTo, 300);
    f.addUsage("WS2", "bob", "O Brien's file", kTo, 120);
    f.addUsage("WS1", "anna", "Calculator", kFrom, 90);
    f.addUsage("WS2", "bob", "Calculator", kTo, 30);
    f.addUsage("WS1", "bob", "Solitaire", kTo.addDays(-1), 1800);
    f.addUsage("WS1", "anna", "\"Untitled\" - Notepad", kTo, 120);
    // Outside the range, on both sides.
    f.addUsage("WS1", "anna", "Idle in range only before", kFrom.addDays(-1), 5000);
    f.addUsage("WS1", "anna", "Solitaire", kTo.addDays(1), 7000);
}

TitleCoverage loaded(ManagerFixture& f) {
    TitleCoverage coverage;
    coverage.load(f.db(), kFrom, kTo);
    return coverage;
}
} // namespace

class TstTitleCoverage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }

    void unmatchedTitlesAndTheirTimes() {
        ManagerFixture f;
        fill(f);
        const TitleCoverage coverage = loaded(f);
        QStringList titles;
        for (const auto& title : coverage.unmatched()) {
            titles << title.title;
            QCOMPARE(title.seconds, storedSeconds(f, title.title));
        }
        // Most time first; equal times alphabetically; titles with no time in the range left out.
        QCOMPARE(titles, (QStringList{"Solitaire", "\"Untitled\" - Notepad", "Calculator"}));
        const qint64 all = f.scalar("SELECT SUM(Duration) FROM MGRDaySummary WHERE Date BETWEEN ? AND ?",
                                    {Dates::toStored(kFrom), Dates::toStored(kTo)});
        QCOMPARE(coverage.totalSeconds(), all);
        QCOMPARE(coverage.sharePercent(1800), 100.0 * 1800 / double(all));

        // The seconds each application catches are held against the report in the next test.
        QCOMPARE(coverage.caughtBy("Word").titles, 1);
        QCOMPARE(coverage.caughtBy("Mail").titles, 1);
        QCOMPARE(coverage.caughtBy("Desktop").titles, 0);
    }

    // The unmatched time is exactly what the report shows as "Undefined Applications".
    void unmatchedTimeIsTheReportsUndefinedTime() {
        ManagerFixture f;
        fill(f);
        // Rows a report leaves out: a user key with no user row.
        f.exec("INSERT INTO MGRDaySummary (UserNameKey, AppTitleKey, WorkstationKey, Duration, Date) "
               "SELECT 999, AppTitleID, 1, 4444, ? FROM MGRAppTitles WHERE AppTitle = 'Calculator'",
               {Dates::toStored(kTo)});
        const TitleCoverage coverage = loaded(f);
        qint64 unmatched = 0;
        for (const auto& title : coverage.unmatched())
            unmatched += title.seconds;

        QuietProgress progress;
        int step = 0;
        ReportSums report;
        GenerateData(f.db(), {kFrom, kTo, f.allApplications(), f.allUsers(), f.allWorkstations()}, progress,
                     step, report);
        QHash<QString, double> minutes;
        for (const auto& [date, day] : report.days())
            for (const ReportSums::Application& app : day.applications)
                minutes[report.applications().firstSpelling(app.group)] += app.minutes();
        QCOMPARE(minutes.value(kUndefinedApplications), double(unmatched) / 60.0);
        for (const QString app : {"Word", "Mail", "People"})
            QCOMPARE(minutes.value(app), double(coverage.caughtBy(app).seconds) / 60.0);
    }

    void theRuleIsTheReports_data() {
        QTest::addColumn<QStringList>("groupings"); // "Alias=entry"
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("caughtBy"); // empty: unmatched
        QTest::newRow("letter case") << QStringList{"Word=MICROSOFT word"} << "Report - Microsoft Word"
                                     << "Word";
        QTest::newRow("apostrophe in the entry") << QStringList{"P=O'Brien"} << "O Brien - notes"
                                                 << "P";
        QTest::newRow("apostrophe in the title") << QStringList{"P=O Brien"} << "O'Brien - notes"
                                                 << "P";
        QTest::newRow("double quote") << QStringList{"N=\"Untitled\""} << " Untitled  - Notepad"
                                      << "N";
        QTest::newRow("higher rank wins") << QStringList{"A=Mail", "B=Inbox"} << "Inbox - Mail"
                                          << "A";
        QTest::newRow("empty entry catches everything") << QStringList{"All="} << "Calculator"
                                                        << "All";
        QTest::newRow("no entry occurs") << QStringList{"Word=Word"} << "Calculator"
                                         << "";
        QTest::newRow("a grouping named like the report's rest")
            << QStringList{"Undefined Applications=Calc"} << "Calculator"
            << "Undefined Applications";
    }

    void theRuleIsTheReports() {
        QFETCH(QStringList, groupings);
        QFETCH(QString, title);
        QFETCH(QString, caughtBy);
        ManagerFixture f;
        f.setGroupings({"Desktop=0"});
        QStringList aliases;
        for (const QString& row : groupings) {
            const QString alias = row.section('=', 0, 0);
            if (!aliases.contains(alias)) {
                aliases << alias;
                f.exec("INSERT INTO MGRGroupings (Alias, Rank) VALUES (?, ?)", {alias, aliases.size()});
            }
            f.addTitleRow(alias, row.section('=', 1));
        }
        f.addUsage("WS1", "anna", title, kTo, 60);
        const TitleCoverage coverage = loaded(f);
        QCOMPARE(coverage.unmatched().isEmpty(), !caughtBy.isEmpty());
        if (!caughtBy.isEmpty())
            QCOMPARE(coverage.caughtBy(caughtBy).seconds, qint64(60));
        // The report's cached lookup names the same application.
        ApplicationNames names(f.db());
        QCOMPARE(names.GetApplicationName(title), caughtBy.isEmpty() ? kUndefinedApplications : caughtBy);
    }

    void remapSeesTheGroupingsButKeepsTheTimes() {
        ManagerFixture f;
        fill(f);
        TitleCoverage coverage = loaded(f);
        const qint64 total = coverage.totalSeconds();
        f.addTitleRow("Word", "Calc");
        f.exec("UPDATE MGRGroupings SET Rank = 9 WHERE Alias = 'Word'"); // below Mail's "Word"
        f.addUsage("WS1", "anna", "Solitaire", kTo, 100000);             // not read again
        coverage.remap(f.db());
        QCOMPARE(coverage.totalSeconds(), total);
        QCOMPARE(coverage.unmatched().constFirst().seconds, qint64(1800));
        QCOMPARE(coverage.caughtBy("Word").seconds, qint64(120));
        QCOMPARE(coverage.caughtBy("Mail").seconds, qint64(900));
        QCOMPARE(coverage.caughtBy("Mail").titles, 2);
    }

    void range_data() {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<QDate>("wantedFrom");
        QTest::addColumn<QDate>("wantedTo");
        const QDate today(2024, 3, 10);
        QTest::newRow("criteria") << kFrom << kTo << kFrom << kTo;
        QTest::newRow("one day") << kTo << kTo << kTo << kTo;
        QTest::newRow("no criteria: thirty days to today")
            << QDate() << QDate() << QDate(2024, 2, 10) << today;
        QTest::newRow("backwards criteria") << kTo << kFrom << QDate(2024, 2, 10) << today;
    }

    void range() {
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(QDate, wantedFrom);
        QFETCH(QDate, wantedTo);
        const auto optional = [](QDate d) { return d.isValid() ? std::optional(d) : std::nullopt; };
        const auto [first, last] = TitleCoverage::range(optional(from), optional(to), QDate(2024, 3, 10));
        QCOMPARE(first, wantedFrom);
        QCOMPARE(last, wantedTo);
    }

    void durationText_data() {
        QTest::addColumn<qint64>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("nothing") << qint64(0) << "0 min";
        QTest::newRow("half a minute to even: down") << qint64(30) << "0 min";
        QTest::newRow("a minute and a half to even: up") << qint64(90) << "2 min";
        QTest::newRow("two and a half to even: down") << qint64(150) << "2 min";
        QTest::newRow("just under an hour") << qint64(59 * 60 + 29) << "59 min";
        QTest::newRow("rounds into the hour") << qint64(59 * 60 + 30) << "1 h 00 min";
        QTest::newRow("hours") << qint64(3 * 3600 + 5 * 60) << "3 h 05 min";
        QTest::newRow("a stored negative") << qint64(-120) << "-2 min";
    }

    void durationText() {
        QFETCH(qint64, seconds);
        QFETCH(QString, text);
        QCOMPARE(TitleCoverage::durationText(seconds), text);
    }

    void caughtTextKeepsTheNameAsItIs() {
        ManagerFixture f;
        f.setGroupings({"Desktop=0", "100%1 %2=1"});
        f.addTitleRow("100%1 %2", "Calc");
        f.addUsage("WS1", "anna", "Calculator", kTo, 60);
        const TitleCoverage coverage = loaded(f);
        QCOMPARE(coverage.caughtText("100%1 %2"),
                 "\"100%1 %2\" catches 1 captured title holding 1 min (100.0% of the time) from " +
                     Dates::shortText(kFrom) + " to " + Dates::shortText(kTo) + ".");
    }
};

QTEST_GUILESS_MAIN(TstTitleCoverage)
#include "tst_titlecoverage.moc"
