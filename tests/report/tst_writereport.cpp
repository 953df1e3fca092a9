// The report file: a whole report against a file checked by hand, letter case in the
// grouping and the lists, and what a failed write leaves behind.
#include "base/VcError.h"
#include "report/GenerateReport.h"
#include "report/ReportHtml.h"
#include "report/ReportProgress.h"
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
         const QString& user = QStringLiteral("u"), const QString& workstation = QStringLiteral("w")) {
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
        f.addGrouping(QStringLiteral("Writer"), {QStringLiteral("writer")});
        f.addGrouping(QStringLiteral("Web & <Mail>"), {QStringLiteral("browser")});
        f.addGrouping(QStringLiteral("Ελληνικά"), {QStringLiteral("λέξη")});
        const QString bob = QStringLiteral("Bob \"B\"");
        f.addRawUsage(QStringLiteral("WS-A"), QStringLiteral("anna"), QStringLiteral("Letter.doc - Writer"),
                      QStringLiteral("2024-03-01"), 600);
        f.addRawUsage(QStringLiteral("WS-A"), QStringLiteral("anna"), QStringLiteral("Memo.doc - WRITER"),
                      QStringLiteral("2024-03-01"), 300);
        f.addRawUsage(QStringLiteral("WS-A"), bob, QStringLiteral("Inbox - Browser"),
                      QStringLiteral("2024-03-01"), 2700);
        f.addRawUsage(QStringLiteral("WS-B"), bob, QStringLiteral("Inbox - Browser"),
                      QStringLiteral("2024-03-01"), 3600);
        f.addRawUsage(QStringLiteral("WS-B"), bob, QStringLiteral("solitaire"), QStringLiteral("2024-03-01"),
                      90);
        f.addRawUsage(QStringLiteral("ПК-1"), QStringLiteral("Zoë"), QStringLiteral("ΛΈΞΗ notes"),
                      QStringLiteral("2024-03-02"), 36000);
        f.addRawUsage(QStringLiteral("ПК-1"), QStringLiteral("Zoë"), QStringLiteral("日本語 - Writer"),
                      QStringLiteral("2024-03-02"), 0);
        f.addRawUsage(QStringLiteral("WS-a"), QStringLiteral("ANNA"), QStringLiteral("Letter - Writer"),
                      QStringLiteral("2024-03-03"), 0);

        ReportProgress progress;
        int step = 0;
        const ReportCriteria criteria{QDate(2024, 3, 1), QDate(2024, 3, 3), f.allApplications(), f.allUsers(),
                                      f.allWorkstations()};
        const ReportOutcome outcome = generateReport(f.db(), criteria, f.programFolder(), progress, step);
        QCOMPARE(int(outcome.page), int(ReportPage::Report));
        QCOMPARE(outcome.path, f.programFolder() + QStringLiteral("/Data/HTML/Report.html"));
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

    void namesDifferingOnlyInCaseAreOne() {
        ReportSums sums;
        add(sums, "2024-03-01", QStringLiteral("Écrire"), 30, QStringLiteral("élise"),
            QStringLiteral("WS-Ä"));
        add(sums, "2024-03-01", QStringLiteral("ÉCRIRE"), 30, QStringLiteral("ÉLISE"),
            QStringLiteral("ws-ä"));
        add(sums, "2024-03-01", QStringLiteral("Mail"), 45, QStringLiteral("Élise"), QStringLiteral("WS-Ä"));
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
        add(sums, "2024-03-01", QStringLiteral("a"), 1);
        const QString path = f.filePath(QStringLiteral("missing/r.html"));
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
        const QStringList users{QStringLiteral("anna")};
        QTest::newRow("no user checked")
            << true << QStringList{} << QDate(2024, 3, 1) << int(ReportPage::NoSelection);
        QTest::newRow("no dates") << false << users << QDate(2024, 3, 1) << int(ReportPage::NoSelection);
        QTest::newRow("no rows in range") << true << users << QDate(2024, 3, 9) << int(ReportPage::NoData);
        QTest::newRow("only unchecked rows")
            << true << QStringList{QStringLiteral("ANNA")} << QDate(2024, 3, 1) << int(ReportPage::NoData);
    }
    void pageChoice() {
        QFETCH(bool, withDates);
        QFETCH(QStringList, users);
        QFETCH(QDate, day);
        QFETCH(int, page);
        ManagerFixture f;
        f.addRawUsage(QStringLiteral("WS1"), QStringLiteral("anna"), QStringLiteral("t"),
                      QStringLiteral("2024-03-01"), 60);
        const QString report = f.programFolder() + QStringLiteral("/Data/HTML/Report.html");
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
