// The criteria page and the report generation window, driven as the operator would.
#include "groupings/ApplicationNames.h"
#include "report/frameData.h"
#include "report/frmGenerateReport.h"
#include "store/SqlUtil.h"
#include "support/ManagerFixture.h"
#include "support/ScriptedFeedback.h"
#include "support/TestEnv.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QtTest>

namespace {

QStringList texts(const QListWidget* list) {
    QStringList all;
    for (int i = 0; i < list->count(); ++i)
        all.append(list->item(i)->text());
    return all;
}

void fill(ManagerFixture& f) {
    f.addGrouping(QStringLiteral("writer"), {QStringLiteral("writer")});
    f.addGrouping(QStringLiteral("Mail"), {QStringLiteral("inbox")});
    for (const char* day : {"2024-03-01", "2024-03-02", "2024-03-02 10:30:00", "2024-03-04"}) {
        f.addRawUsage(QStringLiteral("ws2"), QStringLiteral("Bob"), QStringLiteral("Inbox"),
                      QLatin1String(day), 60);
        f.addRawUsage(QStringLiteral("WS1"), QStringLiteral("anna"), QStringLiteral("a - Writer"),
                      QLatin1String(day), 60);
    }
}

void pick(QComboBox* combo, int index) {
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

} // namespace

class TstReportForms : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestEnv::setUp(); }

    void loadsEverythingChecked() {
        ManagerFixture f;
        fill(f);
        ScriptedFeedback feedback;
        frameData page(f.db(), feedback);
        page.LoadReportCriteria();
        QCOMPARE(texts(page.lstApplications),
                 (QStringList{QStringLiteral("Desktop"), QStringLiteral("Mail"), kUndefinedApplications,
                              QStringLiteral("writer")}));
        QCOMPARE(texts(page.lstUsers), (QStringList{QStringLiteral("anna"), QStringLiteral("Bob")}));
        QCOMPARE(texts(page.lstWorkstations), (QStringList{QStringLiteral("WS1"), QStringLiteral("ws2")}));
        QCOMPARE(page.checkedApplications().size(), 4);
        QCOMPARE(page.lstUsers->currentRow(), 0);
        QCOMPARE(page.cmbStartDate->count(), 3); // the day with a time of day appears once
        QCOMPARE(page.cmbStartDate->currentText(), QStringLiteral("3/1/2024"));
        QCOMPARE(page.cmbEndDate->currentText(), QStringLiteral("3/4/2024"));
        QCOMPARE(page.cmbStartDate->itemData(1).toDate(), QDate(2024, 3, 2));
        QCOMPARE(page.startDate(), std::optional<QDate>(QDate(2024, 3, 1)));
        QVERIFY(page.cmbEndDate->isEnabled());
        QVERIFY(page.criteria().complete());
    }

    void withoutUsageTheDatesAreUnavailable() {
        ManagerFixture f;
        f.addGrouping(QStringLiteral("Mail"), {});
        Sql::run(f.db().db(), QStringLiteral("INSERT INTO MGRUsers (UserName) VALUES ('anna')"));
        ScriptedFeedback feedback;
        frameData page(f.db(), feedback);
        page.LoadReportCriteria();
        for (QComboBox* combo : {page.cmbStartDate, page.cmbEndDate}) {
            QCOMPARE(combo->count(), 1);
            QCOMPARE(combo->currentText(), QStringLiteral("<No Data Available>"));
            QVERIFY(!combo->isEnabled());
        }
        QVERIFY(!page.startDate());
        QCOMPARE(page.checkedUsers(), QStringList{QStringLiteral("anna")});
        QCOMPARE(page.checkedApplications().size(), 3);
        QVERIFY(!page.criteria().complete());
    }

    void dateGuards_data() {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<int>("expectedStart");
        QTest::addColumn<int>("expectedEnd");
        QTest::addColumn<int>("beeps");
        QTest::newRow("start on the end day accepted") << 2 << -1 << 2 << 2 << 0;
        QTest::newRow("end before start refused") << 1 << 0 << 1 << 2 << 1;
        QTest::newRow("same day accepted") << 1 << 1 << 1 << 1 << 0;
        QTest::newRow("start after a moved end") << -1 << 0 << 0 << 0 << 0;
    }
    void dateGuards() {
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(int, expectedStart);
        QFETCH(int, expectedEnd);
        QFETCH(int, beeps);
        ManagerFixture f;
        fill(f);
        ScriptedFeedback feedback;
        frameData page(f.db(), feedback);
        page.LoadReportCriteria();
        if (start >= 0)
            pick(page.cmbStartDate, start);
        if (end >= 0)
            pick(page.cmbEndDate, end);
        QCOMPARE(page.cmbStartDate->currentIndex(), expectedStart);
        QCOMPARE(page.cmbEndDate->currentIndex(), expectedEnd);
        QCOMPARE(feedback.beeps, beeps);
    }

    void startAfterEndBeepsAndRestores() {
        ManagerFixture f;
        fill(f);
        ScriptedFeedback feedback;
        frameData page(f.db(), feedback);
        page.LoadReportCriteria();
        pick(page.cmbEndDate, 1);
        pick(page.cmbStartDate, 2);
        QCOMPARE(page.cmbStartDate->currentIndex(), 0);
        QCOMPARE(feedback.beeps, 1);
    }

    void lastCheckedItemStays() {
        ManagerFixture f;
        fill(f);
        ScriptedFeedback feedback;
        frameData page(f.db(), feedback);
        page.LoadReportCriteria();
        page.lstUsers->item(0)->setCheckState(Qt::Unchecked);
        QCOMPARE(feedback.beeps, 0);
        page.lstUsers->item(1)->setCheckState(Qt::Unchecked);
        QCOMPARE(feedback.beeps, 1);
        QCOMPARE(page.lstUsers->item(1)->checkState(), Qt::Checked);
        QCOMPARE(page.checkedUsers(), QStringList{QStringLiteral("Bob")});
        // Unchecking "Undefined Applications" while others stay checked is accepted.
        page.lstApplications->item(2)->setCheckState(Qt::Unchecked);
        QCOMPARE(feedback.beeps, 1);
        QVERIFY(!frameData::IsItemChecked(kUndefinedApplications, page.lstApplications));
        QVERIFY(frameData::IsItemChecked(QStringLiteral("Bob"), page.lstUsers));
        QVERIFY(!frameData::IsItemChecked(QStringLiteral("bob"), page.lstUsers));
    }

    void generationWindowShowsTheReport() {
        ManagerFixture f;
        fill(f);
        ScriptedFeedback feedback;
        frameData page(f.db(), feedback);
        page.LoadReportCriteria();
        frmGenerateReport window(f.db(), page.criteria(), f.programFolder(), feedback);
        QSignalSpy chosen(&window, &frmGenerateReport::pageChosen);
        QCOMPARE(window.exec(), int(QDialog::Accepted)); // works from its first show, then closes
        QCOMPARE(chosen.size(), 1);
        QCOMPARE(window.pagePath(), f.programFolder() + QStringLiteral("/Data/HTML/Report.html"));
        QVERIFY(QFile::exists(window.pagePath()));
        // 8 stored rows, 6 after merging (step 1): 8 + 6 + 6 while extracting, 6 while writing.
        QCOMPARE(window.pbReport->maximum(), 32);
        QCOMPARE(window.pbReport->value(), 26);
        QVERIFY(feedback.messages.isEmpty());
    }

    void failureIsShownAndNoPageChosen() {
        ManagerFixture f;
        fill(f);
        ScriptedFeedback feedback;
        frameData page(f.db(), feedback);
        page.LoadReportCriteria();
        QFile::remove(f.programFolder() + QStringLiteral("/Data/HTML/NoData.html"));
        QDir(f.programFolder() + QStringLiteral("/Data/HTML")).removeRecursively();
        frmGenerateReport window(f.db(), page.criteria(), f.programFolder(), feedback);
        QSignalSpy chosen(&window, &frmGenerateReport::pageChosen);
        QCOMPARE(window.exec(), int(QDialog::Rejected));
        QCOMPARE(chosen.size(), 0);
        QVERIFY(window.pagePath().isEmpty());
        QCOMPARE(feedback.messages.size(), 1);
        QCOMPARE(feedback.messages[0].title, QStringLiteral("Vellumcrest™ Report Generation"));
        QCOMPARE(feedback.messages[0].icon, Feedback::Icon::Critical);
        QVERIFY(feedback.messages[0].text.contains(QStringLiteral("Report.html")));
    }
};

QTEST_MAIN(TstReportForms)
#include "tst_reportforms.moc"
