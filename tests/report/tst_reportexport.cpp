// Saving the shown report: a failure shows an error and never harms the file being replaced, and
// what is no report (the placeholder, a failure) is never saved as one.
#include "report/frameReports.h"
#include "report/ReportDisplay.h"
#include "report/ReportHtml.h"
#include "report/ReportPrint.h"
#include "report/ReportScreenDocument.h"
#include "support/ManagerFixture.h"
#include "support/ScriptedFeedback.h"
#include "support/TestEnv.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QtTest>

namespace {

QTextBrowser* browser(const frameReports& page) {
    return TestEnv::child<QTextBrowser>(&page, "brwReport");
}
QPushButton* button(const frameReports& page, const char* name) {
    return TestEnv::child<QPushButton>(&page, name);
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    QFile file(dir.filePath(name));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? file.fileName() : QString();
}

// What a reader sees of a text, blanks of any kind aside.
QStringList words(const QString& text) {
    static const QRegularExpression blanks("[\\s\\x{00A0}\\x{2029}]+");
    return text.split(blanks, Qt::SkipEmptyParts);
}

// A small report whose names need escaping, references or control pictures.
std::shared_ptr<ReportSums> hostileReport() {
    auto sums = std::make_shared<ReportSums>(ReportSums::Detail::Kept);
    const auto add = [&](QDate day, const QString& app, const QString& user, const QString& ws,
                         double minutes) {
        sums->add(day, app.toUtf8(), user.toUtf8(), ws.toUtf8(), minutes);
    };
    add(QDate(2024, 3, 1), "Web & <Mail>", "Bob \"B\"", "WS-A", 105);
    add(QDate(2024, 3, 1), "web & <MAIL>", "anna", "ПК-1", 2.5);
    add(QDate(2024, 3, 1), "Writer\x01\x7f\u0085", "Zoë", "WS-A", 15);
    add(QDate(2024, 3, 2), "Ελληνικά 😀", "ANNA", "ws-a", 600.5);
    return sums;
}

QStringList entries(const QTemporaryDir& dir, const QString& except) {
    QStringList names = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    names.removeAll(except);
    return names;
}

} // namespace

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
    void printedPagesKeepDaysWhole();
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
    const QString shown = writeFile(dir, "shown.html", "<HTML><BODY>Usage <B>report</B></BODY></HTML>");
    QVERIFY(!writeFile(dir, "old.pdf", "older content").isEmpty());
    QVERIFY(!writeFile(dir, "blocker", "a file, not a folder").isEmpty());
    QVERIFY(QDir(dir.path()).mkdir("folder.pdf"));
    const QStringList before = entries(dir, target);

    ScriptedFeedback feedback;
    frameReports page(feedback);
    page.navigate(shown);
    feedback.fileAnswers = {dir.filePath(target)};
    button(page, "cmdExportReport")->click();

    QFile result(dir.filePath(target));
    QCOMPARE(feedback.messages.size(), written ? 0 : 1);
    if (written)
        QVERIFY(result.open(QIODevice::ReadOnly) && result.readAll().startsWith("%PDF-"));
    else
        QVERIFY(feedback.messages[0].text.startsWith("Could not save the report to "));
    // Nothing else appears beside the target, and what was there before is still there.
    QCOMPARE(entries(dir, target), before);
    QFile old(dir.filePath("old.pdf"));
    if (target != QLatin1String("old.pdf"))
        QVERIFY(old.open(QIODevice::ReadOnly) && old.readAll() == "older content");
}

void TstReportExport::nothingSavedWithoutReport_data() {
    QTest::addColumn<bool>("failed"); // the report failed; otherwise it is being prepared
    QTest::addColumn<QString>("target");
    QTest::newRow("placeholder, html") << false << "saved.html";
    QTest::newRow("failure, pdf") << true << "saved.pdf";
}

// The placeholder and the failure page are no report: Print and Export say so and save nothing,
// and stay usable for the next report.
void TstReportExport::nothingSavedWithoutReport() {
    QFETCH(bool, failed);
    QFETCH(QString, target);
    QTemporaryDir dir;
    ScriptedFeedback feedback;
    frameReports page(feedback);
    page.showPlaceholder(writeFile(dir, "Blank.html", "<HTML><BODY>Preparing the report...</BODY></HTML>"));
    if (failed) {
        page.showFailure("Could not write <Report.html>: disk full");
        const QString shown = browser(page)->toPlainText();
        QVERIFY(shown.contains("Could not write <Report.html>: disk full"));
        QVERIFY(!shown.contains("Preparing"));
    }
    target = dir.filePath(target);
    feedback.fileAnswers = {target};
    feedback.printAnswers = {true};
    button(page, "cmdExportReport")->click();
    button(page, "cmdPrintReport")->click();
    QVERIFY(!QFile::exists(target));
    QCOMPARE(feedback.printDialogs, 0);
    QCOMPARE(feedback.messages.size(), 2);
    QCOMPARE(feedback.messages[0].text.contains("disk full"), failed);
    QVERIFY(button(page, "cmdPrintReport")->isEnabled());

    // The next report shown is saved as usual.
    page.navigate(QStringLiteral(VC_REPORT_TEST_DATA "/expected_report.html"));
    feedback.clear();
    feedback.fileAnswers = {target};
    button(page, "cmdExportReport")->click();
    QVERIFY(feedback.messages.isEmpty());
    QVERIFY(QFile::exists(target));
}

// The report is laid out from its sums with exactly the text the file shows, and find reaches it.
void TstReportExport::reportShownLikeTheFile() {
    QTemporaryDir dir;
    const auto report = hostileReport();
    const QString file = writeFile(dir, "Report.html", ReportHtml::bytes(*report));
    ScriptedFeedback feedback;
    frameReports page(feedback);
    page.navigate(file, report);
    QCOMPARE(browser(page)->document()->parent(), browser(page));
    QTextDocument html;
    html.setHtml(reportHtmlForDisplay(ManagerFixture::readFile(file)));
    QCOMPARE(words(browser(page)->toPlainText()), words(html.toPlainText()));
    QVERIFY(browser(page)->toPlainText().contains("Writer\u2401\u2421\uFFFD"));
    QVERIFY(browser(page)->find("ελληνικά"));
    QCOMPARE(browser(page)->textCursor().selectedText(), "Ελληνικά");
    // A page without sums is shown from its HTML.
    page.navigate(
        writeFile(dir, "NoData.html",
                  "<HTML><BODY><P>There is no usage data&nbsp;for the chosen criteria.</P></BODY></HTML>"));
    QCOMPARE(browser(page)->toPlainText(), "There is no usage data for the chosen criteria.");
}

void TstReportExport::csv_data() {
    QTest::addColumn<bool>("report"); // the page shows a generated report: CSV is offered
    QTest::addColumn<QString>("target");
    QTest::addColumn<QByteArray>("written"); // the file's first line; empty: not written
    QTest::newRow("summary") << true << "rows.csv" << QByteArray("Date,Application,Minutes,Percent");
    QTest::newRow("detail") << true << "rows.Detail.CSV"
                            << QByteArray("Date,Application,User,Workstation,Minutes");
    QTest::newRow("write fails") << true << "missing/rows.csv" << QByteArray();
    QTest::newRow("no report shown") << false << "rows.csv" << QByteArray();
}

void TstReportExport::csv() {
    QFETCH(bool, report);
    QFETCH(QString, target);
    QFETCH(QByteArray, written);
    QTemporaryDir dir;
    ScriptedFeedback feedback;
    frameReports page(feedback);
    const auto sums = hostileReport();
    if (report)
        page.navigate(writeFile(dir, "Report.html", ReportHtml::bytes(*sums)), sums);
    else
        page.navigate(writeFile(dir, "shown.html", "<HTML><BODY>Usage</BODY></HTML>"));
    target = dir.filePath(target);
    feedback.fileAnswers = {target};
    button(page, "cmdExportReport")->click();
    QCOMPARE(feedback.fileDialogs.size(), 1);
    QCOMPARE(feedback.fileDialogs[0].filter.contains("*.csv"), report);
    const QByteArray bytes = QFile::exists(target) ? ManagerFixture::readFile(target) : QByteArray();
    if (!report) // saved as the shown page
        QCOMPARE(bytes, QByteArray("<HTML><BODY>Usage</BODY></HTML>"));
    else
        QCOMPARE(bytes.left(bytes.indexOf('\r')), written);
    QCOMPARE(feedback.messages.size(), report && written.isEmpty() ? 1 : 0);
    if (!feedback.messages.isEmpty())
        QVERIFY(feedback.messages[0].text.contains(target));
}

// Paper: a day's lines never leave its total behind on another page; the PDF names the report
// and its days; the dialog offers a name with the days and the status line says where it went.
void TstReportExport::printedPagesKeepDaysWhole() {
    auto sums = std::make_shared<ReportSums>(ReportSums::Detail::Kept);
    sums->setRange(QDate(2024, 3, 1), QDate(2024, 4, 9));
    for (QDate day = sums->firstDay(); day <= sums->lastDay(); day = day.addDays(1))
        for (int app = 0; app <= day.day() % 7; ++app)
            sums->add(day, "App " + QByteArray::number(app), "u", "w", 30.0 + app);
    const std::unique_ptr<QTextDocument> document(ReportScreenDocument::build(*sums, nullptr));
    document->setTextWidth(600);
    const double pageHeight = 200;
    const QList<ReportPrint::Slice> pages = ReportPrint::paginate(*document, pageHeight);
    QVERIFY(pages.size() > 10);
    const auto pageOf = [&](const QTextBlock& block) {
        const QRectF rect = document->documentLayout()->blockBoundingRect(block);
        for (int i = 0; i < pages.size(); ++i)
            if (rect.top() >= pages[i].top && rect.bottom() <= pages[i].bottom + 0.01)
                return i;
        return -1;
    };
    int headingPage = -1;
    int days = 0;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        QVERIFY(pageOf(block) >= 0); // every paragraph whole on one page
        const auto part =
            ReportScreenDocument::Part(block.blockFormat().intProperty(ReportScreenDocument::Role));
        if (part == ReportScreenDocument::Part::DayHeading)
            headingPage = pageOf(block);
        if (part == ReportScreenDocument::Part::DayTotal) {
            QCOMPARE(pageOf(block), headingPage);
            ++days;
        }
    }
    QCOMPARE(days, 40);
    for (const ReportPrint::Slice& page : pages)
        QVERIFY(page.bottom - page.top <= pageHeight);

    QTemporaryDir dir;
    ScriptedFeedback feedback;
    frameReports page(feedback);
    ReportHeading heading;
    heading.period = ReportHeading::periodText(sums->firstDay(), sums->lastDay());
    heading.criteria = QStringLiteral("Applications: all; users: all; workstations: all");
    heading.generated = QDateTime::currentDateTime();
    page.setHeading(heading);
    page.navigate(writeFile(dir, "Report.html", ReportHtml::bytes(*sums)), sums);
    const QString target = dir.filePath(QStringLiteral("paper.pdf"));
    feedback.fileAnswers = {target};
    QSignalSpy status(&page, &frameReports::statusText);
    TestEnv::child<QPushButton>(&page, "cmdExportReport")->click();
    QVERIFY(
        feedback.fileDialogs[0].initialName.startsWith(QStringLiteral("Report 2024-03-01 to 2024-04-09.")));
    QCOMPARE(status.size(), 1);
    QVERIFY(status[0][0].toString().endsWith(target));
    QFile pdf(target);
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    const QByteArray bytes = pdf.readAll();
    QByteArray title("\xFE\xFF");
    for (const QChar c : ReportPrint::documentName(heading))
        title += char(c.unicode() >> 8), title += char(c.unicode() & 0xFF);
    QVERIFY(bytes.contains(title));
}

QTEST_MAIN(TstReportExport)
#include "tst_reportexport.moc"
