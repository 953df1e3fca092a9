// Saving the shown report: a failure shows an error and never harms the file being replaced.
#include "report/frameReports.h"
#include "support/ScriptedFeedback.h"
#include "support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class TstReportExport : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }
    void pdf_data();
    void pdf();
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

QTEST_MAIN(TstReportExport)
#include "tst_reportexport.moc"
