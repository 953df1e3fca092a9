// Saving the shown report: a failure shows an error and never harms the file being replaced, and
// what is no report (the placeholder, a failure) is never saved as one.
#include "report/frameReports.h"
#include "support/ScriptedFeedback.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTextDocument>
#include <QtTest>

class TstReportExport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }
    void pdf_data();
    void pdf();
    void nothingSavedWithoutReport_data();
    void nothingSavedWithoutReport();
    void reportShownLikeTheFile();
    void csv_data();
    void csv();
};

void TstReportExport::pdf_data() {
    QTest::addColumn<QString>("target"); // relative to a temporary folder
    QTest::addColumn<bool>("written");
    QTest::newRow("new file") << "report.pdf" << true;
    QTest::newRow("replaces an older file") << "old.pdf" << true;
    QTest::newRow("folder that is a file") << "blocker/report.pdf" << false;
    QTest::newRow("target is a folder") << "folder.pdf" << false;
}

void TstReportExport::pdf() {
    QFETCH(QString, target);
    QFETCH(bool, written);
    QTemporaryDir dir;
    const auto make = [&dir](const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    };
    QVERIFY(make(QStringLiteral("shown.html"), "<HTML><BODY>Usage <B>report</B></BODY></HTML>"));
    QVERIFY(make(QStringLiteral("old.pdf"), "older content"));
    QVERIFY(make(QStringLiteral("blocker"), "a file, not a folder"));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.pdf")));
    const QStringList before =
        QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);

    ScriptedFeedback feedback;
    frameReports page(feedback);
    page.navigate(dir.filePath(QStringLiteral("shown.html")));
    feedback.fileAnswers = {dir.filePath(target)};
    page.cmdExportReport->click();

    QFile result(dir.filePath(target));
    if (written) {
        QVERIFY(feedback.messages.isEmpty());
        QVERIFY(result.open(QIODevice::ReadOnly));
        QVERIFY(result.readAll().startsWith("%PDF-"));
    } else {
        QCOMPARE(feedback.messages.size(), 1);
        QVERIFY(feedback.messages[0].text.startsWith(QStringLiteral("Could not save the report to ")));
    }
    // Nothing else appears beside the target, and what was there before is still there.
    QStringList after = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    after.removeAll(target);
    QStringList expected = before;
    expected.removeAll(target);
    QCOMPARE(after, expected);
    QFile old(dir.filePath(QStringLiteral("old.pdf")));
    if (target != QLatin1String("old.pdf")) {
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("older content"));
    }
}

void TstReportExport::nothingSavedWithoutReport_data() {
    QTest::addColumn<bool>("failed"); // the report failed; otherwise it is being prepared
    QTest::addColumn<bool>("pdf");
    QTest::newRow("placeholder, html") << false << false;
    QTest::newRow("placeholder, pdf") << false << true;
    QTest::newRow("failure, html") << true << false;
    QTest::newRow("failure, pdf") << true << true;
}

// The placeholder and the failure page are no report: Print and Export say so and save nothing,
// and stay usable for the next report.
void TstReportExport::nothingSavedWithoutReport() {
    QFETCH(bool, failed);
    QFETCH(bool, pdf);
    QTemporaryDir dir;
    QFile placeholder(dir.filePath(QStringLiteral("Blank.html")));
    QVERIFY(placeholder.open(QIODevice::WriteOnly));
    placeholder.write("<HTML><BODY>Preparing the report...</BODY></HTML>");
    placeholder.close();
    ScriptedFeedback feedback;
    frameReports page(feedback);
    page.showPlaceholder(placeholder.fileName());
    if (failed) {
        page.showFailure(QStringLiteral("Could not write <Report.html>: disk full"));
        const QString shown = page.brwReport->toPlainText();
        QVERIFY(shown.contains(QStringLiteral("The report could not be produced.")));
        QVERIFY(shown.contains(QStringLiteral("Could not write <Report.html>: disk full")));
        QVERIFY(!shown.contains(QStringLiteral("Preparing")));
    }
    const QString target = dir.filePath(pdf ? QStringLiteral("saved.pdf") : QStringLiteral("saved.html"));
    feedback.fileAnswers = {target};
    feedback.printAnswers = {true};
    page.cmdExportReport->click();
    page.cmdPrintReport->click();
    QVERIFY(!QFile::exists(target));
    QCOMPARE(feedback.printDialogs, 0);
    QCOMPARE(feedback.messages.size(), 2);
    QVERIFY(feedback.messages[0].text.startsWith(QStringLiteral("There is no report to export.")));
    QVERIFY(feedback.messages[1].text.startsWith(QStringLiteral("There is no report to print.")));
    QCOMPARE(feedback.messages[0].text.contains(QStringLiteral("disk full")), failed);
    QVERIFY(page.cmdExportReport->isEnabled());
    QVERIFY(page.cmdPrintReport->isEnabled());

    // The next report shown is saved as usual.
    page.navigate(QStringLiteral(VC_REPORT_TEST_DATA "/expected_report.html"));
    feedback.clear();
    feedback.fileAnswers = {target};
    page.cmdExportReport->click();
    QVERIFY(feedback.messages.isEmpty());
    QVERIFY(QFile::exists(target));
}

// The writer's file is shown as a light document with the same text, and find reaches it.
void TstReportExport::reportShownLikeTheFile() {
    ScriptedFeedback feedback;
    frameReports page(feedback);
    page.navigate(QStringLiteral(VC_REPORT_TEST_DATA "/expected_report.html"));
    QCOMPARE(page.brwReport->document()->parent(), page.brwReport);
    const QString shown = page.brwReport->toPlainText();
    for (const char* text : {"Application Usage Report", "3/1/2024", "Web & <Mail>", "1:45", "(86%)",
                             "Ελληνικά", "Total for day", "Total for all days", "12:02",
                             "Users monitored:", "Bob \"B\"", "Zoë", "Workstations monitored:", "ПК-1"})
        QVERIFY2(shown.contains(QString::fromUtf8(text)), text);
    QVERIFY(!shown.contains(QStringLiteral("&nbsp")));
    QVERIFY(page.brwReport->find(QStringLiteral("ελληνικά")));
    QCOMPARE(page.brwReport->textCursor().selectedText(), QStringLiteral("Ελληνικά"));
    // Any other page is shown from its HTML.
    QTemporaryDir dir;
    QFile other(dir.filePath(QStringLiteral("NoData.html")));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write("<HTML><BODY><P>There is no usage data&nbsp;for the chosen criteria.</P></BODY></HTML>");
    other.close();
    page.navigate(other.fileName());
    QCOMPARE(page.brwReport->toPlainText(),
             QStringLiteral("There is no usage data for the chosen criteria."));
}

void TstReportExport::csv_data() {
    QTest::addColumn<bool>("report"); // the page shows a generated report: CSV is offered
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("failure"); // what the writer answers
    QTest::newRow("summary") << true << "rows.csv"
                             << "";
    QTest::newRow("detail, upper case") << true << "rows.DETAIL.CSV"
                                        << "";
    QTest::newRow("write fails") << true << "rows.csv"
                                 << "disk full";
    QTest::newRow("no report shown") << false << "rows.csv"
                                     << "";
}

void TstReportExport::csv() {
    QFETCH(bool, report);
    QFETCH(QString, target);
    QFETCH(QString, failure);
    QTemporaryDir dir;
    QFile shown(dir.filePath(QStringLiteral("shown.html")));
    QVERIFY(shown.open(QIODevice::WriteOnly));
    shown.write("<HTML><BODY>Usage</BODY></HTML>");
    shown.close();
    ScriptedFeedback feedback;
    frameReports page(feedback);
    page.navigate(shown.fileName());
    QStringList asked;
    if (report) {
        page.setCsvWriter([&](const QString& path) {
            asked << path;
            return failure;
        });
    }
    feedback.fileAnswers = {dir.filePath(target)};
    page.cmdExportReport->click();
    QCOMPARE(feedback.fileDialogs.size(), 1);
    QCOMPARE(feedback.fileDialogs[0].filter.contains(QStringLiteral("*.detail.csv")), report);
    QCOMPARE(feedback.fileDialogs[0].filter.contains(QStringLiteral("CSV Files (*.csv)|*.csv")), report);
    QCOMPARE(asked, report ? QStringList{dir.filePath(target)} : QStringList{});
    QCOMPARE(feedback.messages.size(), failure.isEmpty() ? 0 : 1);
    if (!failure.isEmpty())
        QVERIFY(feedback.messages[0].text.endsWith(failure));
}

QTEST_MAIN(TstReportExport)
#include "tst_reportexport.moc"
